// SqliteFastPath: the SQLite engine's side of the faster forms (see FacetEvaluator.h): the
// virtual tables that carry bound sets into a text, and the backend that reads a connection.
#pragma once

#include <sqlite3.h>

#include "index/FacetEvaluator.h"
#include "engines/sqlite/SqliteInternal.h"

namespace mirel_platform::sqlite_detail {

class SqliteBackend : public facets::Backend {
 public:
  SqliteBackend(sqlite3* db, Bindings* bindings) : m_db(db), m_bindings(bindings) {}
  facets::EquipmentTypes Types() override;
  std::vector<int64_t> Ids(const std::string& tsql) override;
  facets::Postings LoadPostings(int64_t schemaId) override;
  std::vector<int64_t> CriteriaItems(const std::string& project) override;
  bool VersionKeyIsWhole() override;
  facets::KeyedRows Rows(const std::string& tsql) override;
  bool AnswersFromPostings() const override { return true; }
  std::optional<facets::Literal> NumberLiteral(const std::string& text) override;
  int64_t Bind(std::shared_ptr<const VehicleSet> set) override;
  int64_t Bind(std::shared_ptr<const facets::ValueRows> rows) override;
  void ReleaseBindings() override;

 private:
  sqlite3* m_db;
  Bindings* m_bindings;
};

}  // namespace mirel_platform::sqlite_detail
