// The SQLite engine's faster forms against the texts as written: random databases, random
// searches through the library (counted screens and either-or rows among them), every text the
// library composes run three ways (as written, level by level, and from postings, with and
// without an index file, sound or not) and the record sets compared row by row.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "index/Evaluator.h"
#include "mirel_SbF/Connector.h"
#include "engines/sqlite/SqliteProvider.h"
#include "support/SameRecordSets.h"
#include "support/RandomDatabases.h"
#include "support/SampleData.h"

namespace {

// What lies beside a random database as its index file: none, one written for it, one the
// database changed after, one with damaged items, one cut short, one of another database.
enum class IndexFile { None, Fresh, Stale, Damaged, Truncated, Foreign };
constexpr int kIndexFiles = 6;

void PrepareIndexFile(IndexFile kind, const std::string& folder, const std::string& other) {
  const std::string file = folder + "/specs.sbfidx";
  const std::string conn = "Provider=SQLite;Data Source=" + folder;
  if (kind == IndexFile::None) return;
  if (kind == IndexFile::Foreign) {
    mirel_base::WriteIndexFile("specs", "Provider=SQLite;Data Source=" + other);
    std::filesystem::copy_file(other + "/specs.sbfidx", file, std::filesystem::copy_options::overwrite_existing);
  } else {
    mirel_base::WriteIndexFile("specs", conn);
  }
  const auto size = std::filesystem::file_size(file);
  if (kind == IndexFile::Stale) {
    mirel_platform::SqliteCloseCachedConnections();
    mirel_test::ExecSql(folder + "/specs.db", "insert into equipment select * from equipment where rowid = 1");
  } else if (kind == IndexFile::Damaged) {
    std::fstream bytes(file, std::ios::in | std::ios::out | std::ios::binary);
    for (std::streamoff at = 64; at < static_cast<std::streamoff>(size) / 2; at += 97) {
      bytes.seekp(at);
      bytes.put('\x5A');
    }
  } else if (kind == IndexFile::Truncated) {
    std::filesystem::resize_file(file, size / 2);
  }
  const std::string problem = mirel_base::CheckIndexFile("specs", conn);
  // A damaged item is found when it is read; the file as a whole still opens.
  EXPECT_EQ(problem.empty(), kind == IndexFile::Fresh || kind == IndexFile::Damaged) << problem;
}

TEST(SqliteEvaluation, RandomSearchesGiveTheSameRecordSetsInEveryForm) {
  // Each text as written, level by level, and twice from postings (the second run answers
  // from what the first one kept), also with nothing kept.
  mirel_test::DifferentialProvider provider(
      "Differential", "Evaluation=Plain",
      {"Evaluation=Levels", "Evaluation=Facets", "Evaluation=Facets", "Evaluation=Facets;Cache MB=0"},
      [](const std::string& sql, const std::string& db, const std::string& conn, const std::string& setting) {
        return mirel_platform::SqliteExecuteQuery(sql, db, conn.substr(conn.find("Data Source=")) + ";" + setting);
      });
  const auto before = mirel_platform::facets::EvaluationCountsForTesting();
  std::mt19937 rng(20261207);
  int failures = 0;  // the same failure in every form was checked by the provider
  std::string previous;
  for (int database = 0; database < 6; ++database) {
    const std::string folder = mirel_test::MakeTempFolder("sbf_differential");
    mirel_test::RandomDatabases data(
        rng, folder, static_cast<mirel_test::RandomDatabases::Ids>(database % mirel_test::RandomDatabases::kIdShapes));
    // Each database with another kind of index file: the answers are the same whatever it is.
    PrepareIndexFile(static_cast<IndexFile>((database + 1) % kIndexFiles), folder, previous);
    previous = folder;
    for (int search = 0; search < 30 && !::testing::Test::HasFailure(); ++search)
      failures += !mirel_test::RandomSearch(rng, "Provider=Differential;Data Source=" + folder,
                                            {data.codedValues, {"", "Engine", "Body"}});
  }
  const auto after = mirel_platform::facets::EvaluationCountsForTesting();
  EXPECT_GT(provider.Compared(), 800);
  EXPECT_LT(failures, 45);
  // Both faster forms were really taken, not only the text as written.
  EXPECT_GT(after.facets - before.facets, 300);
  EXPECT_GT(after.levels - before.levels, 50);
  // Postings came from the sound index files and were built where there was none or it was
  // not sound.
  EXPECT_GT(after.companionItems - before.companionItems, 5);
  EXPECT_GT(after.builtItems - before.builtItems, 5);
}

}  // namespace
