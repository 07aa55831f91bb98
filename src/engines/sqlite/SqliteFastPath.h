// SqliteFastPath: the SQLite engine's side of the faster forms (see index/Evaluator.h): the
// virtual tables that carry bound sets into a text, and the backend that reads a connection.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "index/Evaluator.h"
#include "engines/sqlite/SqliteInternal.h"

namespace mirel_platform::sqlite_detail {

// The version of the main database file a companion index is bound to: its size, its time
// (`fileTime`, of the file the connection has open), and a hash of its header and of pages
// spread over it, read through the connection's own handle. Nothing when it cannot be read.
std::optional<std::string> CompanionBinding(sqlite3* db, const std::optional<std::string>& fileTime);

// Whether the database has a companion index for the version a text reads, kept per version.
struct CompanionLookup {
  std::shared_ptr<const facets::CompanionIndex> index;
  std::string why;  // why there is none ("" when there is no file)
};

// Where a text's backend finds the companion index of its main database.
struct CompanionSource {
  std::string path;   // <folder>/<name>.sbfidx; empty: none is looked for
  std::string stamp;  // the version the text reads; empty: not known, none is used
  EngineCache* cache = nullptr;
  // The time of the file the connection has open (nothing when the path names another now).
  std::function<std::optional<std::string>()> fileTime;
  // Told once per version whether the companion is used, and why not.
  std::function<void(bool used, const std::string& why)> report;
};

// substr(value, 1, count) of a TEXT value as SQLite computes it (the rewrite's LEFT): the
// first `count` characters, a character being a byte and the continuation bytes after a lead
// byte, ending at a NUL; nothing for a count SQLite reads otherwise (negative, past 32 bits).
std::optional<std::string_view> SqliteLeft(std::string_view value, int64_t count);

class SqliteBackend : public facets::Backend {
 public:
  SqliteBackend(sqlite3* db, Bindings* bindings, CompanionSource companion = {})
      : m_db(db), m_bindings(bindings), m_source(std::move(companion)) {}
  facets::EquipmentTypes Types() override;
  std::vector<int64_t> Ids(const std::string& tsql) override;
  std::vector<int64_t> VehicleIds() override;
  void ScanItem(int64_t schemaId, const std::function<void(const facets::PostingRow&)>& row) override;
  std::shared_ptr<const facets::CompanionIndex> Companion() override;
  std::vector<int64_t> CriteriaItems(const std::string& project) override;
  std::optional<std::vector<facets::CriterionValues::Value>> CriteriaValues(const std::string& project) override;
  bool VersionKeyIsWhole() override;
  facets::KeyedTable Rows(const std::string& tsql) override;
  bool AnswersFromPostings() const override { return true; }
  std::optional<facets::Literal> NumberLiteral(const std::string& text) override;
  std::optional<std::string_view> Left(std::string_view value, int64_t count) const override;
  int64_t Bind(std::shared_ptr<const VehicleSet> set) override;
  int64_t Bind(std::shared_ptr<const facets::ValueRows> rows) override;
  void ReleaseBindings() override;

 private:
  sqlite3* m_db;
  Bindings* m_bindings;
  CompanionSource m_source;
  bool m_companionLooked = false;
  std::shared_ptr<const facets::CompanionIndex> m_companion;
};

}  // namespace mirel_platform::sqlite_detail

namespace mirel_platform {
template <> struct KeptType<Kept::Companion> { using type = sqlite_detail::CompanionLookup; };
}  // namespace mirel_platform
