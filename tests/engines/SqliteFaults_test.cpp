// Damaged, truncated and replaced database files: every query ends in bounded time
// with an answer or a clear error of the connector, and the next query works again once the
// file is sound; files published by renaming new ones over the old give every call one
// version of the data.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "mirel_SbF/Search.h"
#include "engines/sqlite/SqliteProvider.h"
#include "index/Evaluator.h"
#include "support/Raises.h"
#include "support/SampleData.h"

namespace {

namespace fs = std::filesystem;
using mirel_test::RaisesHolding;

// Writes `bytes` at `offset` into each page of `name` (a table or index of specs.db in
// `folder`) of kind `type` (2 interior index, 13 leaf table), the kinds read
// from SQLite's own page statistics.
void Patch(const std::string& folder, const std::string& name, int type, int64_t offset, const std::string& bytes) {
  const fs::path file = fs::path(folder) / "specs.db";
  std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
  for (const auto& row : mirel_test::RowsOf(folder, "select pageno from dbstat where name = '" + name + "'")) {
    const int64_t page = std::stoll(row.at(0));
    f.seekg((page - 1) * 4096 + (page == 1 ? 100 : 0));
    if (f.get() != type) continue;
    // A pointer of an interior page made to lead back to the page itself.
    const std::string text = bytes.empty() ? std::string{static_cast<char>(page >> 24), static_cast<char>(page >> 16),
                                                         static_cast<char>(page >> 8), static_cast<char>(page)}
                                           : bytes;
    f.seekp((page - 1) * 4096 + offset);
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
}

class SqliteFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* db : {"specs.db", "prj.db"})
      fs::copy_file(fs::path(mirel_test::SampleFolder()) / db, fs::path(folder) / db);
    fs::copy_file(fs::path(folder) / "specs.db", fs::path(folder) / "good.db");
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

  const std::string folder = mirel_test::MakeTempFolder("sbf_faults");
  // A short timeout: a damaged file must not make a query wait for long.
  const std::string conn = "Provider=SQLite;Data Source=" + folder + ";Command Timeout=2";
  const fs::path specs = fs::path(folder) / "specs.db";
};

TEST_F(SqliteFaults, EveryFaultEndsInAnAnswerOrAClearErrorAndTheNextQueryWorks) {
  const std::string sound = Ask();
  ASSERT_EQ(sound.rfind("error", 0), std::string::npos) << sound;
  const std::pair<const char*, std::function<void()>> faults[] = {
      {"an index page that leads back to itself",
       [&] {
         for (const char* index : {"equipment_schema_value", "equipment_schema_location", "equipment_vehicle"})
           Patch(folder, index, 2, 8, "");
       }},
      {"table pages of garbage", [&] { Patch(folder, "equipment", 13, 3, std::string(64, '\xFF')); }},
      {"a file cut in half", [&] { fs::resize_file(specs, fs::file_size(specs) / 2); }},
      {"an empty file", [&] { fs::resize_file(specs, 0); }},
      {"a text file instead of a database",
       [&] {
         fs::remove(specs);
         std::ofstream(specs) << std::string(8192, 'x');
       }},
  };
  for (const auto& [name, apply] : faults) {
    SCOPED_TRACE(name);
    apply();
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

TEST_F(SqliteFaults, AFileChangedInPlaceOrReplacedIsNeverAnsweredFromWhatWasKept) {
  const std::string before = Ask();
  mirel_SbF::Search s;
  s.SetDatabaseInfo(conn, "specs", "prj", 1, "USD");
  s.AddSelection("7401", "0", "", "EU");
  const std::string first = mirel_SbF::CStr(s.GetMatchingVehicles()->Fields("vehicle_id").Value());
  // In place: the same file, one of the matching cars fewer.
  mirel_test::ExecSql(specs.string(), "DELETE FROM equipment WHERE vehicle_id = " + first);
  EXPECT_NE(Ask(), before);
  // Replaced by another file: the sound copy again.
  fs::copy_file(fs::path(folder) / "good.db", fs::path(folder) / "new.db");
  fs::rename(fs::path(folder) / "new.db", specs);
  EXPECT_EQ(Ask(), before);
}

TEST_F(SqliteFaults, FilesPublishedByRenameGiveEveryCallOneDataSetsAnswer) {
  // Two data sets, each a specs.db and a prj.db: the sample, and the sample without the
  // origin of its first 40 European cars and the horsepower of its last 60 cars, so that an
  // answer that mixes the two sets' vehicles for one choice and the other is neither set's.
  // Both have the same project data: a call made between the two renames of a publication
  // is still one set's.
  const fs::path sets[] = {fs::path(folder) / "a", fs::path(folder) / "b"};
  for (const fs::path& set : sets) {
    fs::create_directory(set);
    fs::copy_file(fs::path(folder) / "good.db", set / "specs.db");
    fs::copy_file(fs::path(folder) / "prj.db", set / "prj.db");
  }
  mirel_test::ExecSql((sets[1] / "specs.db").string(),
                      "DELETE FROM equipment WHERE schema_id = 7401 AND vehicle_id IN (SELECT vehicle_id FROM "
                      "equipment WHERE schema_id = 7401 AND data_value = 'EU' ORDER BY vehicle_id LIMIT 40);"
                      "DELETE FROM equipment WHERE schema_id = 135 AND vehicle_id IN (SELECT vehicle_id FROM "
                      "equipment WHERE schema_id = 135 ORDER BY vehicle_id DESC LIMIT 60);");
  // Each set with its index file, which goes with it (the copies keep the files' times, so
  // that a published set's index file is its database's).
  for (const fs::path& set : sets) mirel_base::WriteIndexFile("specs", "Data Source=" + set.string());
  // Two counts (one text each) and a screen with counts (a dozen texts), as a host asks.
  auto ask = [](const std::string& connection, int question) {
    mirel_SbF::Search s;
    s.SetDatabaseInfo(connection, "specs", "prj", 1, "USD");
    s.AddSelection("7401", "0", "", "EU");
    if (question == 1) s.AddMinMax("135", "0", "", "70", "100");
    if (question < 2) return std::to_string(s.GetNumberOfMatchingVehicles());
    s.CountVehicles(true);
    s.DoSearch();
    std::string out;
    for (const auto& row : s)
      for (const auto& value : *row) out += value->FullText() + "(" + std::to_string(value->VehicleCount()) + ") ";
    return out;
  };
  std::set<std::string> expected[3];
  for (int question = 0; question < 3; ++question) {
    for (const fs::path& set : sets) expected[question].insert(ask("Data Source=" + set.string(), question));
    ASSERT_EQ(expected[question].size(), 2u) << question;
  }

  // One thread publishes the two sets in turn, each file copied beside the old one and
  // renamed over it, at least 100 times and until the four threads that ask meanwhile have
  // had 600 answers.
  const int64_t fromIndexFiles = mirel_platform::facets::EvaluationCountsForTesting().companionItems;
  std::atomic<bool> publishing{true};
  std::atomic<int> answers{0};
  std::thread publisher([&] {
    for (int i = 0; i < 5000 && (i < 100 || answers < 600); ++i) {
      for (const char* file : {"specs.db", "prj.db", "specs.sbfidx"}) {
        const fs::path next = fs::path(folder) / "next.tmp";
        fs::copy_file(sets[i % 2] / file, next, fs::copy_options::overwrite_existing);
        fs::last_write_time(next, fs::last_write_time(sets[i % 2] / file));
        fs::rename(next, fs::path(folder) / file);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    publishing = false;
  });
  std::mutex mutex;
  std::vector<std::string> wrong;
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t)
    readers.emplace_back([&, t] {
      for (int i = t; publishing; ++i) {
        const int question = i % 8 == 0 ? 2 : i % 2;
        std::string answer;
        try {
          answer = ask(conn, question);
        } catch (const mirel_SbF::Error& e) {
          answer = "error: " + e.Description();
        }
        ++answers;
        if (expected[question].count(answer)) continue;
        std::lock_guard<std::mutex> lock(mutex);
        wrong.push_back(std::to_string(question) + ": " + answer);
      }
    });
  publisher.join();
  for (std::thread& reader : readers) reader.join();
  EXPECT_GE(answers, 600);
  EXPECT_GT(mirel_platform::facets::EvaluationCountsForTesting().companionItems, fromIndexFiles);
  EXPECT_TRUE(wrong.empty()) << wrong.size() << " of " << answers << " answers of neither set, e.g. " << wrong.front();
}

TEST_F(SqliteFaults, AnUnsoundIndexFileIsNotUsedAndCheckingItSaysWhy) {
  const std::string sound = Ask();
  const fs::path index = fs::path(folder) / "specs.sbfidx";
  mirel_base::WriteIndexFile("specs", conn);
  fs::copy_file(index, fs::path(folder) / "good.sbfidx");
  const std::pair<const char*, std::function<void()>> faults[] = {
      {"garbage", [&] { std::ofstream(index, std::ios::binary) << std::string(5000, '\x37'); }},
      {"an empty file", [&] { fs::resize_file(index, 0); }},
      {"a file cut short", [&] { fs::resize_file(index, fs::file_size(index) * 2 / 3); }},
      {"the index of another version of the database",
       [&] { mirel_test::ExecSql(specs.string(), "UPDATE equipment SET data_value = data_value WHERE rowid = 1"); }},
      {"a folder in its place", [&] { fs::remove(index), fs::create_directory(index); }},
  };
  for (const auto& [name, apply] : faults) {
    SCOPED_TRACE(name);
    apply();
    // As a new process: nothing read before is in memory.
    mirel_platform::SqliteDropCachesForTesting();
    EXPECT_EQ(Ask(), sound);
    EXPECT_NE(mirel_base::CheckIndexFile("specs", conn), "");
    fs::remove_all(index);
    fs::copy_file(fs::path(folder) / "good.db", specs, fs::copy_options::overwrite_existing);
    mirel_base::WriteIndexFile("specs", conn);
    mirel_platform::SqliteDropCachesForTesting();
    EXPECT_EQ(mirel_base::CheckIndexFile("specs", conn), "");
    EXPECT_EQ(Ask(), sound);
  }
}

TEST_F(SqliteFaults, AQueryOverTheCommandTimeoutOrTheResultLimitIsRefused) {
  // Three copies of the equipment table joined with each other: far longer than a second.
  const std::string slow = "select count(*) as n from equipment a, equipment b, equipment c where a.option_id = 0;";
  EXPECT_TRUE(RaisesHolding(
      [&] { mirel_platform::SqliteExecuteQuery(slow, "specs", "Data Source=" + folder + ";Command Timeout=1"); },
      mirel_SbF::kErrUnspecified, "mirel_base.Connector", "ran longer than the command timeout of 1 s"));
  EXPECT_EQ(Ask().rfind("error", 0), std::string::npos) << "the connection stays usable";
  EXPECT_TRUE(RaisesHolding(
      [&] {
        mirel_platform::SqliteExecuteQuery("select a.vehicle_id from equipment a, equipment b;", "specs",
                                           "Data Source=" + folder + ";Max Result MB=1");
      },
      mirel_SbF::kErrUnspecified, "mirel_base.Connector", "larger than 1 MB"));
}

}  // namespace
