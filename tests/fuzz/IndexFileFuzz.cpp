// Fuzzes the reader of index files. The first byte picks what the rest is: a whole file
// (then opening it must refuse it or give a directory whose items read or are refused), or
// the bytes of one item behind a sound checksum (then they must read as postings whose
// vehicles lie in the universe, turned around over the universe if at all, or be refused). Either way nothing may crash, hang or leak.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "SqlShape.h"
#include "index/Companion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  constexpr uint32_t kUniverse = 1000;
  if (data[0] % 2 == 1) {
    const std::optional<mirel_platform::facets::Postings> postings =
        mirel_platform::facets::ParseItem(bytes, kUniverse);
    if (!postings) return 0;
    if (postings->TurnedAround() &&
        (postings->Vehicles() != kUniverse || postings->standardBits.size() != (kUniverse + 63) / 64))
      mirel_fuzz::Broken("an item turned around over another universe", std::string(bytes));
    for (const auto& entry : postings->entries)
      for (const Roaring* bits : {&entry.all, &entry.standard})
        if (!bits->isEmpty() && bits->maximum() >= kUniverse)
          mirel_fuzz::Broken("an item with a vehicle outside the universe", std::string(bytes));
    return 0;
  }
  const std::string path = "/tmp/mirel_index_fuzz_" + std::to_string(::getpid()) + ".sbfidx";
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::string why;
  if (auto index = mirel_platform::facets::CompanionIndex::Open(path, "fuzz", &why)) {
    for (int64_t item = 0; item < 8; ++item) (void)index->ReadItem(item);
  } else if (why.empty()) {
    mirel_fuzz::Broken("a file that exists refused without a reason", std::string(bytes));
  }
  ::unlink(path.c_str());
  return 0;
}
