// Fuzzes the saved-state text. The property: a text the library accepts reads back as a
// well-formed text that, written again, reads back unchanged (the state is a fixed point
// after one round), and a refused text leaves the selections as they were.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SqlShape.h"
#include "mirel_SbF/mirel_SbF.h"
#include "runtime/Unicode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  mirel_SbF::Search search;
  search.AddSelection("7401", "0", "", "US");
  try {
    search.CurrentState(text);
  } catch (const mirel_SbF::Error& e) {
    if (e.Description().empty()) mirel_fuzz::Broken("an error without a description", text);
    // A text refused before it was read leaves the earlier selections; one refused while
    // reading leaves the groups before the fault (as the original did). Either way the
    // state still reads.
    (void)search.CurrentState();
    return 0;
  }
  const std::string first = search.CurrentState();
  if (!mirel_platform::IsCleanUtf8(first)) mirel_fuzz::Broken("the state reads back as text that is not UTF-8", text);
  search.CurrentState(first);
  if (search.CurrentState() != first) mirel_fuzz::Broken("the state changed when written back: " + first, text);
  return 0;
}
