#include "index/Companion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace mirel_platform::facets {

namespace {

constexpr char kMagic[8] = {'M', 'I', 'R', 'E', 'L', 'I', 'D', 'X'};
// 2 and 3: each item also holds its entries turned around (Postings::entryOf8 or 16,
// standardBits; 3 in one byte a vehicle where that is enough), so that reading an item again
// after it was dropped costs a read, not a rebuild.
constexpr uint32_t kFormat = 3;
constexpr size_t kHeaderSize = 48;
// The most a part may claim to hold, so that a damaged length cannot ask for an absurd buffer.
constexpr uint64_t kMaxPart = uint64_t{1} << 34;

enum EntryFlags : uint8_t { kLocationNull = 1, kStandardIsAll = 2 };

uint64_t Checksum(const void* data, size_t size) { return XXH3_64bits(data, size); }

// Little-endian values appended to a buffer.
class Writer {
 public:
  template <class T>
  void Put(T value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));  // the platforms built for are little-endian
    m_out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
  }
  void PutBytes(std::string_view bytes) {
    Put(static_cast<uint32_t>(bytes.size()));
    m_out.append(bytes);
  }
  void PutBits(const Roaring& bits) {
    std::string bytes(bits.getSizeInBytes(true), '\0');
    bits.write(bytes.data(), true);
    PutBytes(bytes);
  }
  std::string& Out() { return m_out; }

 private:
  std::string m_out;
};

// Little-endian values read from a buffer; every read is bounded, and a read past the end
// makes the reader fail for good.
class Reader {
 public:
  explicit Reader(std::string_view in) : m_in(in) {}
  // `count` values of T into `out` (plain arrays of the platform's little-endian layout).
  template <class T>
  bool GetArray(std::vector<T>& out, size_t count) {
    if (!m_ok || (m_in.size() - m_at) / sizeof(T) < count) return m_ok = false;
    out.resize(count);
    std::memcpy(out.data(), m_in.data() + m_at, count * sizeof(T));
    m_at += count * sizeof(T);
    return true;
  }
  template <class T>
  bool Get(T& value) {
    if (!m_ok || m_in.size() - m_at < sizeof(T)) return m_ok = false;
    std::memcpy(&value, m_in.data() + m_at, sizeof(T));
    m_at += sizeof(T);
    return true;
  }
  bool GetBytes(std::string_view& bytes) {
    uint32_t length = 0;
    if (!Get(length) || m_in.size() - m_at < length) return m_ok = false;
    bytes = m_in.substr(m_at, length);
    m_at += length;
    return true;
  }
  // A bit map of ordinals below `universe`.
  bool GetBits(Roaring& bits, uint32_t universe) {
    std::string_view bytes;
    if (!GetBytes(bytes)) return false;
    if (roaring_bitmap_portable_deserialize_size(bytes.data(), bytes.size()) != bytes.size()) return m_ok = false;
    try {
      bits = Roaring::readSafe(bytes.data(), bytes.size());
    } catch (const std::exception&) {
      return m_ok = false;
    }
    if (!bits.isEmpty() && bits.maximum() >= universe) return m_ok = false;
    return true;
  }
  bool AtEnd() const { return m_ok && m_at == m_in.size(); }

 private:
  std::string_view m_in;
  size_t m_at = 0;
  bool m_ok = true;
};

bool ReadAt(int fd, uint64_t offset, uint64_t length, std::string& out) {
  out.assign(length, '\0');
  uint64_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd, out.data() + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<uint64_t>(got);
  }
  return true;
}

std::string ItemBytes(const Postings& postings) {
  Writer w;
  w.Put(static_cast<uint32_t>(postings.entries.size()));
  for (const Postings::Entry& e : postings.entries) {
    w.Put(static_cast<uint8_t>((e.locationNull ? kLocationNull : 0) | (e.standardIsAll ? kStandardIsAll : 0)));
    w.Put(e.location);
    w.Put(e.number);
    w.PutBytes(e.value);
    w.PutBits(e.all);
    if (!e.standardIsAll) w.PutBits(e.standard);
  }
  w.Put(static_cast<uint8_t>(!postings.TurnedAround() ? 0 : postings.entryOf8.empty() ? 2 : 1));
  if (postings.TurnedAround()) {
    w.Put(static_cast<uint32_t>(postings.Vehicles()));
    postings.WithEntryOf([&](const auto& of) {
      w.Out().append(reinterpret_cast<const char*>(of.data()), of.size() * sizeof(of[0]));
    });
    w.Out().append(reinterpret_cast<const char*>(postings.standardBits.data()),
                   postings.standardBits.size() * sizeof(uint64_t));
  }
  return std::move(w.Out());
}

// Writes all of `data` at the file's current end; raises with the file's name.
void WriteAll(int fd, const std::string& data, const std::string& path) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    done += static_cast<size_t>(wrote);
  }
}

}  // namespace

CompanionIndex::~CompanionIndex() {
  if (m_fd >= 0) ::close(m_fd);
}

std::shared_ptr<const CompanionIndex> CompanionIndex::Open(const std::string& path, const std::string& binding,
                                                           std::string* why) {
  std::shared_ptr<CompanionIndex> index(new CompanionIndex());
  index->m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (index->m_fd < 0) {
    if (why) *why = errno == ENOENT ? "" : "cannot be opened: " + std::string(std::strerror(errno));
    return nullptr;
  }
  struct stat st {};
  if (::fstat(index->m_fd, &st) != 0) {
    if (why) *why = "cannot be read";
    return nullptr;
  }
  index->m_size = static_cast<uint64_t>(st.st_size);
  std::string reason;
  if (!index->Load(binding, &reason)) {
    if (why) *why = reason;
    return nullptr;
  }
  return index;
}

bool CompanionIndex::Load(const std::string& binding, std::string* why) {
  std::string header;
  if (m_size < kHeaderSize || !ReadAt(m_fd, 0, kHeaderSize, header) || std::memcmp(header.data(), kMagic, 8) != 0)
    return *why = "is not an index file of this library", false;
  Reader h(std::string_view(header).substr(8));
  uint32_t format = 0, reserved = 0;
  uint64_t metaOffset = 0, metaLength = 0, metaChecksum = 0, headerChecksum = 0;
  h.Get(format), h.Get(reserved), h.Get(metaOffset), h.Get(metaLength), h.Get(metaChecksum), h.Get(headerChecksum);
  if (headerChecksum != Checksum(header.data(), kHeaderSize - 8)) return *why = "has a damaged header", false;
  if (format != kFormat) return *why = "is of another format (" + std::to_string(format) + ")", false;
  std::string meta;
  if (metaLength > kMaxPart || metaOffset > m_size || metaLength > m_size - metaOffset ||
      !ReadAt(m_fd, metaOffset, metaLength, meta) || Checksum(meta.data(), meta.size()) != metaChecksum)
    return *why = "is cut short or damaged", false;

  Reader r(meta);
  std::string_view written;
  if (!r.GetBytes(written)) return *why = "is damaged", false;
  if (written != binding) return *why = "was written for another version of the database", false;
  uint64_t count = 0;
  uint8_t contiguous = 0;
  if (!r.Get(count) || !r.Get(contiguous) || count >= UINT32_MAX) return *why = "is damaged", false;
  if (contiguous) {
    int64_t first = 0;
    if (!r.Get(first) || (count > 0 && first > INT64_MAX - static_cast<int64_t>(count - 1)))
      return *why = "is damaged", false;
    m_universe = std::make_shared<const VehicleUniverse>(first, static_cast<uint32_t>(count));
  } else {
    if (count > meta.size() / sizeof(int64_t)) return *why = "is damaged", false;
    std::vector<int64_t> ids(count);
    for (uint64_t k = 0; k < count; ++k)
      if (!r.Get(ids[k]) || (k > 0 && ids[k] <= ids[k - 1])) return *why = "is damaged", false;
    m_universe = std::make_shared<const VehicleUniverse>(std::move(ids));
  }
  Roaring standard;
  if (!r.GetBits(standard, m_universe->Size())) return *why = "is damaged", false;
  m_standard = VehicleSet(m_universe, std::move(standard));
  uint32_t items = 0;
  if (!r.Get(items) || items > meta.size() / 32) return *why = "is damaged", false;
  m_items.resize(items);
  for (ItemRef& item : m_items) {
    if (!r.Get(item.schemaId) || !r.Get(item.offset) || !r.Get(item.length) || !r.Get(item.checksum) ||
        item.length > kMaxPart || item.offset > m_size || item.length > m_size - item.offset)
      return *why = "is damaged", false;
  }
  for (size_t k = 1; k < m_items.size(); ++k)
    if (m_items[k].schemaId <= m_items[k - 1].schemaId) return *why = "is damaged", false;
  if (!r.AtEnd()) return *why = "is damaged", false;
  return true;
}

std::optional<Postings> CompanionIndex::ReadItem(int64_t schemaId) const {
  const auto it = std::lower_bound(m_items.begin(), m_items.end(), schemaId,
                                   [](const ItemRef& item, int64_t id) { return item.schemaId < id; });
  if (it == m_items.end() || it->schemaId != schemaId) return Postings{};
  std::string bytes;
  if (!ReadAt(m_fd, it->offset, it->length, bytes) || Checksum(bytes.data(), bytes.size()) != it->checksum)
    return std::nullopt;
  return ParseItem(bytes, m_universe->Size());
}

std::optional<Postings> ParseItem(std::string_view bytes, uint32_t universe) {
  Reader r(bytes);
  uint32_t count = 0;
  if (!r.Get(count) || count > bytes.size()) return std::nullopt;
  Postings postings;
  postings.entries.resize(count);
  for (Postings::Entry& e : postings.entries) {
    uint8_t flags = 0;
    std::string_view value;
    if (!r.Get(flags) || !r.Get(e.location) || !r.Get(e.number) || !r.GetBytes(value) || !r.GetBits(e.all, universe))
      return std::nullopt;
    e.locationNull = flags & kLocationNull;
    e.standardIsAll = flags & kStandardIsAll;
    e.value = std::string(value);
    if (!e.standardIsAll && !r.GetBits(e.standard, universe)) return std::nullopt;
  }
  uint8_t turned = 0;
  if (!r.Get(turned) || turned > 2) return std::nullopt;
  if (turned) {
    uint32_t vehicles = 0;
    if (!r.Get(vehicles) || vehicles != universe ||
        !(turned == 1 ? r.GetArray(postings.entryOf8, vehicles) : r.GetArray(postings.entryOf16, vehicles)) ||
        !r.GetArray(postings.standardBits, (size_t{vehicles} + 63) / 64))
      return std::nullopt;
    // An entry number past the entries is refused where it is read (CountsByLookUp), for
    // the few vehicles looked up, rather than here for every vehicle of every item read.
  }
  postings.turnAroundTried = true;
  if (!r.AtEnd()) return std::nullopt;
  return postings;
}

void WriteCompanion(const std::string& path, const std::string& binding, const VehicleUniverse& universe,
                    const VehicleSet& standardVehicles, const std::function<bool(CompanionItem&)>& nextItem) {
  const std::string scratch = path + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + scratch + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    const std::string& scratch;
    bool done = false;
    ~Closer() {
      ::close(fd);
      if (!done) ::unlink(scratch.c_str());
    }
  } closer{fd, scratch};

  WriteAll(fd, std::string(kHeaderSize, '\0'), scratch);
  uint64_t offset = kHeaderSize;
  Writer directory;
  uint32_t items = 0;
  CompanionItem item;
  while (nextItem(item)) {
    if (!item.postings.turnAroundTried) item.postings.TurnAround(universe.Size());
    const std::string bytes = ItemBytes(item.postings);
    WriteAll(fd, bytes, scratch);
    directory.Put(item.schemaId);
    directory.Put(offset);
    directory.Put(static_cast<uint64_t>(bytes.size()));
    directory.Put(Checksum(bytes.data(), bytes.size()));
    offset += bytes.size();
    ++items;
    item = CompanionItem{};
  }

  Writer meta;
  meta.PutBytes(binding);
  meta.Put(static_cast<uint64_t>(universe.Size()));
  meta.Put(static_cast<uint8_t>(universe.Contiguous()));
  if (universe.Contiguous()) {
    meta.Put(universe.Size() == 0 ? int64_t{0} : universe.Id(0));
  } else {
    for (int64_t id : universe.Ids()) meta.Put(id);
  }
  meta.PutBits(standardVehicles.Bits());
  meta.Put(items);
  meta.Out() += directory.Out();
  WriteAll(fd, meta.Out(), scratch);

  Writer header;
  header.Out().append(kMagic, sizeof kMagic);
  header.Put(kFormat);
  header.Put(uint32_t{0});
  header.Put(offset);
  header.Put(static_cast<uint64_t>(meta.Out().size()));
  header.Put(Checksum(meta.Out().data(), meta.Out().size()));
  header.Put(Checksum(header.Out().data(), header.Out().size()));
  if (::pwrite(fd, header.Out().data(), header.Out().size(), 0) != static_cast<ssize_t>(header.Out().size()) ||
      ::fsync(fd) != 0)
    throw std::runtime_error("cannot write " + scratch + ": " + std::strerror(errno));
  if (::rename(scratch.c_str(), path.c_str()) != 0)
    throw std::runtime_error("cannot rename " + scratch + " to " + path + ": " + std::strerror(errno));
  closer.done = true;
}

}  // namespace mirel_platform::facets
