// Damaged, truncated, locked and replaced database files: every query ends in bounded time
// with an answer or a clear error of the connector, and the next query works again once the
// file is sound.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "mirel_SbF/Error.h"
#include "mirel_SbF/Search.h"
#include "platform/sqlite/SqliteProvider.h"
#include "support/Raises.h"
#include "support/SampleData.h"

namespace {

namespace fs = std::filesystem;
using mirel_test::Raises;

using DbHandle = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

DbHandle Open(const fs::path& file, int flags = SQLITE_OPEN_READWRITE) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
  return DbHandle(raw, &sqlite3_close);
}

// The numbers of the pages of `index` of kind `type` (2 interior, 10 leaf), from SQLite's
// own page statistics.
std::vector<int64_t> PagesOf(const fs::path& file, const std::string& name, int type) {
  std::vector<int64_t> pages;
  DbHandle db = Open(file, SQLITE_OPEN_READONLY);
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = "select pageno from dbstat where name = '" + name + "'";
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return pages;
  std::ifstream in(file, std::ios::binary);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const int64_t page = sqlite3_column_int64(stmt, 0);
    in.seekg((page - 1) * 4096 + (page == 1 ? 100 : 0));
    if (in.get() == type) pages.push_back(page);
  }
  sqlite3_finalize(stmt);
  return pages;
}

void Patch(const fs::path& file, int64_t offset, const std::string& bytes) {
  std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(offset);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string BigEndian32(int64_t v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                     static_cast<char>(v)};
}

struct Fault {
  const char* name;
  std::function<void(const fs::path& specs)> apply;
};

class SqliteFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = mirel_test::MakeTempFolder("sbf_faults");
    for (const char* db : {"specs.db", "prj.db"})
      fs::copy_file(fs::path(mirel_test::SampleFolder()) / db, fs::path(folder) / db);
    fs::copy_file(fs::path(folder) / "specs.db", fs::path(folder) / "good.db");
    // A short timeout: a damaged file must not make a query wait for long.
    conn = "Provider=SQLite;Data Source=" + folder + ";Command Timeout=2";
  }

  // The vehicles matching "Europe" and the rows of the Engine screen, or the error.
  std::string Ask() {
    try {
      mirel_SbF::Search s;
      s.SetDatabaseInfo(conn, "specs", "prj", 1, "USD");
      s.AddSelection("7401", "0", "", "EU");
      s.DoSearch(false, "Engine", true);
      return std::to_string(s.GetNumberOfMatchingVehicles()) + " vehicles, " + std::to_string(s.Count()) + " rows";
    } catch (const mirel_SbF::Error& e) {
      EXPECT_EQ(e.Source(), "mirel_base.Connector") << e.Description();
      return "error: " + e.Description();
    }
  }

  std::string folder;
  std::string conn;
};

TEST_F(SqliteFaults, EveryFaultEndsInAnAnswerOrAClearErrorAndTheNextQueryWorks) {
  const fs::path specs = fs::path(folder) / "specs.db";
  const std::string sound = Ask();
  ASSERT_EQ(sound.rfind("error", 0), std::string::npos) << sound;
  const std::vector<Fault> faults = {
      {"an index page that leads back to itself",
       [](const fs::path& f) {
         for (const char* index : {"equipment_schema_value", "equipment_schema_location", "equipment_vehicle"})
           for (int64_t page : PagesOf(f, index, 2)) Patch(f, (page - 1) * 4096 + 8, BigEndian32(page));
       }},
      {"index pages of garbage",
       [](const fs::path& f) {
         for (int64_t page : PagesOf(f, "equipment_schema_value", 10))
           Patch(f, (page - 1) * 4096 + 8, std::string(4000, '\x5A'));
       }},
      {"table pages of garbage",
       [](const fs::path& f) {
         for (int64_t page : PagesOf(f, "equipment", 13)) Patch(f, (page - 1) * 4096 + 3, std::string(64, '\xFF'));
       }},
      {"a file cut in half", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) / 2); }},
      {"an empty file", [](const fs::path& f) { fs::resize_file(f, 0); }},
      {"a text file instead of a database",
       [](const fs::path& f) {
         fs::remove(f);
         std::ofstream(f) << std::string(8192, 'x');
       }},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    fault.apply(specs);
    // As a host that starts on the damaged file: nothing read before is in memory.
    mirel_platform::SqliteCloseCachedConnections();
    const std::string answer = Ask();
    // A damage the query never reads may leave the answer as it was; anything else is an
    // error that names the file, says it is damaged or not a database, or that the query
    // was cancelled.
    if (answer != sound) {
      EXPECT_EQ(answer.rfind("error", 0), 0u) << answer;
      const bool clear = answer.find("specs.db\"") != std::string::npos ||
                         answer.find("command timeout") != std::string::npos ||
                         answer.find("no such table") != std::string::npos;
      EXPECT_TRUE(clear) << answer;
    }
    // A sound file again (written over in place, as an administrator would restore it).
    fs::copy_file(fs::path(folder) / "good.db", specs, fs::copy_options::overwrite_existing);
    EXPECT_EQ(Ask(), sound);
  }
}

TEST_F(SqliteFaults, ALockedFileIsAClearErrorAndIsReadAgainOnceReleased) {
  DbHandle writer = Open(fs::path(folder) / "specs.db");
  ASSERT_EQ(sqlite3_exec(writer.get(), "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                                       "UPDATE version SET name = name;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const std::string locked = Ask();
  EXPECT_NE(locked.find("locked"), std::string::npos) << locked;
  ASSERT_EQ(sqlite3_exec(writer.get(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  writer.reset();
  EXPECT_EQ(Ask().rfind("error", 0), std::string::npos);
}

TEST_F(SqliteFaults, AFileChangedInPlaceOrReplacedIsNeverAnsweredFromWhatWasKept) {
  const std::string before = Ask();
  mirel_SbF::Search s;
  s.SetDatabaseInfo(conn, "specs", "prj", 1, "USD");
  s.AddSelection("7401", "0", "", "EU");
  const std::string first = mirel_SbF::CStr(s.GetMatchingVehicles()->Fields("vehicle_id").Value());
  // In place: the same file, one of the matching cars fewer.
  {
    DbHandle db = Open(fs::path(folder) / "specs.db");
    ASSERT_EQ(sqlite3_exec(db.get(), ("DELETE FROM equipment WHERE vehicle_id = " + first).c_str(), nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
  }
  const std::string inPlace = Ask();
  EXPECT_NE(inPlace, before);
  // Replaced by another file: the sound copy again.
  fs::copy_file(fs::path(folder) / "good.db", fs::path(folder) / "new.db");
  fs::rename(fs::path(folder) / "new.db", fs::path(folder) / "specs.db");
  EXPECT_EQ(Ask(), before);
}

TEST_F(SqliteFaults, AQueryOverTheCommandTimeoutIsCancelledAndTheConnectionStaysUsable) {
  // Three copies of the equipment table joined with each other: far longer than a second.
  const std::string slow = "select count(*) as n from equipment a, equipment b, equipment c where a.option_id = 0;";
  const std::string conn1s = "Provider=SQLite;Data Source=" + folder + ";Command Timeout=1";
  EXPECT_TRUE(Raises([&] { mirel_platform::SqliteExecuteQuery(slow, "specs", conn1s); },
                     mirel_SbF::kErrUnspecified, "mirel_base.Connector",
                     "The query in database \"specs\" ran longer than the command timeout of 1 s and was cancelled "
                     "(the connection string's \"Command Timeout\")."));
  EXPECT_EQ(Ask().rfind("error", 0), std::string::npos);
}

TEST_F(SqliteFaults, AResultLargerThanTheLimitIsRefused) {
  EXPECT_TRUE(mirel_test::RaisesHolding(
      [&] { mirel_platform::SqliteExecuteQuery("select a.vehicle_id from equipment a, equipment b;", "specs",
                                               "Provider=SQLite;Data Source=" + folder + ";Max Result MB=1"); },
      mirel_SbF::kErrUnspecified, "mirel_base.Connector", "larger than 1 MB"));
}

}  // namespace
