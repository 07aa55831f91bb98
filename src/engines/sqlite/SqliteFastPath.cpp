#include "engines/sqlite/SqliteFastPath.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>

#include <xxhash.h>

#include <cstdio>

#include "runtime/TextBasics.h"
#include "sql/TsqlRewrite.h"

namespace mirel_platform::sqlite_detail {

namespace {

using facets::NotEquivalent;

// ---- the virtual tables ------------------------------------------------------------------

struct ModuleAux {
  Bindings* bindings;
  bool values;  // mirel_values, else mirel_vehicles
};

struct Table : sqlite3_vtab {
  ModuleAux* aux;
};

struct Cursor : sqlite3_vtab_cursor {
  std::shared_ptr<const std::vector<int64_t>> vehicles;
  std::shared_ptr<const ValueRows> values;
  int64_t setId = 0;
  size_t row = 0;
  size_t Size() const { return vehicles ? vehicles->size() : values ? values->size() : 0; }
};

int SetIdColumn(const ModuleAux* aux) { return aux->values ? 4 : 1; }

int Connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
  auto* a = static_cast<ModuleAux*>(aux);
  const int rc = sqlite3_declare_vtab(
      db, a->values ? "CREATE TABLE x(schema_id INTEGER, location INTEGER, data_value TEXT, vehicle_count INTEGER, set_id HIDDEN)"
                    : "CREATE TABLE x(vehicle_id INTEGER, set_id HIDDEN)");
  if (rc != SQLITE_OK) return rc;
  auto* table = new Table{};
  table->aux = a;
  *out = table;
  return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* table) {
  delete static_cast<Table*>(table);
  return SQLITE_OK;
}

int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const ModuleAux* aux = static_cast<Table*>(vtab)->aux;
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (!c.usable || c.iColumn != SetIdColumn(aux) || c.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
    info->aConstraintUsage[i].argvIndex = 1;
    info->aConstraintUsage[i].omit = 1;
    info->idxNum = 1;
    sqlite3_int64 rows = 1000;
    sqlite3_value* rhs = nullptr;
    if (sqlite3_vtab_rhs_value(info, i, &rhs) == SQLITE_OK && rhs) {
      const int64_t id = sqlite3_value_int64(rhs);
      if (aux->values) {
        if (auto it = aux->bindings->values.find(id); it != aux->bindings->values.end()) rows = it->second->size();
      } else if (auto it = aux->bindings->vehicles.find(id); it != aux->bindings->vehicles.end()) {
        rows = static_cast<sqlite3_int64>(it->second->size());
      }
    }
    info->estimatedRows = std::max<sqlite3_int64>(rows, 1);
    info->estimatedCost = static_cast<double>(info->estimatedRows);
    // The vehicles come in ascending order of vehicle_id.
    if (!aux->values && info->nOrderBy == 1 && info->aOrderBy[0].iColumn == 0 && !info->aOrderBy[0].desc)
      info->orderByConsumed = 1;
    return SQLITE_OK;
  }
  // Without its set the table is empty; make the planner never prefer that.
  info->idxNum = 0;
  info->estimatedCost = 1e18;
  info->estimatedRows = 1;
  return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = new Cursor{};
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete static_cast<Cursor*>(cursor);
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc, sqlite3_value** argv) {
  auto* cursor = static_cast<Cursor*>(base);
  const ModuleAux* aux = static_cast<Table*>(base->pVtab)->aux;
  cursor->vehicles.reset();
  cursor->values.reset();
  cursor->row = 0;
  if (idxNum != 1 || argc != 1) return SQLITE_OK;
  cursor->setId = sqlite3_value_int64(argv[0]);
  if (aux->values) {
    if (auto it = aux->bindings->values.find(cursor->setId); it != aux->bindings->values.end())
      cursor->values = it->second;
  } else if (auto it = aux->bindings->vehicles.find(cursor->setId); it != aux->bindings->vehicles.end()) {
    cursor->vehicles = it->second;
  }
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* base) {
  ++static_cast<Cursor*>(base)->row;
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* base) {
  const auto* cursor = static_cast<Cursor*>(base);
  return cursor->row >= cursor->Size();
}

int Column(sqlite3_vtab_cursor* base, sqlite3_context* ctx, int column) {
  const auto* cursor = static_cast<Cursor*>(base);
  if (cursor->vehicles) {
    if (column == 0) sqlite3_result_int64(ctx, (*cursor->vehicles)[cursor->row]);
    else sqlite3_result_int64(ctx, cursor->setId);
    return SQLITE_OK;
  }
  const facets::ValueRow& row = (*cursor->values)[cursor->row];
  switch (column) {
    case 0: sqlite3_result_int64(ctx, row.schemaId); break;
    case 1: sqlite3_result_int64(ctx, row.location); break;
    case 2:
      sqlite3_result_text(ctx, row.dataValue.data(), static_cast<int>(row.dataValue.size()), SQLITE_TRANSIENT);
      break;
    case 3: sqlite3_result_int64(ctx, row.vehicleCount); break;
    default: sqlite3_result_int64(ctx, cursor->setId);
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
  *rowid = static_cast<sqlite3_int64>(static_cast<Cursor*>(base)->row);
  return SQLITE_OK;
}

sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 0;
  m.xCreate = nullptr;  // eponymous only: usable by name, never created in a schema
  m.xConnect = Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = Open;
  m.xClose = Close;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = Column;
  m.xRowid = Rowid;
  return m;
}

const sqlite3_module kModule = MakeModule();
// ---- what the data must be like ----------------------------------------------------------


// SQLite's affinity of a declared column type.
enum class Affinity { Integer, Text, Blob, Real, Numeric };
Affinity AffinityOf(std::string type) {
  type = LowerAscii(type);
  if (type.find("int") != std::string::npos) return Affinity::Integer;
  if (type.find("char") != std::string::npos || type.find("clob") != std::string::npos ||
      type.find("text") != std::string::npos)
    return Affinity::Text;
  if (type.empty() || type.find("blob") != std::string::npos) return Affinity::Blob;
  if (type.find("real") != std::string::npos || type.find("floa") != std::string::npos ||
      type.find("doub") != std::string::npos)
    return Affinity::Real;
  return Affinity::Numeric;
}

}  // namespace

std::optional<std::string> CompanionBinding(sqlite3* db, const std::optional<std::string>& fileTime) {
  if (!fileTime) return std::nullopt;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
    return std::nullopt;
  sqlite3_int64 size = 0;
  unsigned char header[100] = {0};
  if (file->pMethods->xFileSize(file, &size) != SQLITE_OK || size < static_cast<sqlite3_int64>(sizeof header) ||
      file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK)
    return std::nullopt;
  // Pages spread over the file, read through the connection's own handle (a handle of our
  // own would, when closed, drop the locks the process holds on the file).
  const uint32_t pageSize = header[16] == 0 && header[17] == 1 ? 65536u : (uint32_t{header[16]} << 8) | header[17];
  if (pageSize < 512) return std::nullopt;
  const uint64_t pages = static_cast<uint64_t>(size) / pageSize;
  constexpr uint64_t kSamples = 64;
  XXH3_state_t* state = XXH3_createState();
  if (!state) return std::nullopt;
  XXH3_64bits_reset(state);
  XXH3_64bits_update(state, header, sizeof header);
  std::vector<unsigned char> page(pageSize);
  bool read = true;
  for (uint64_t k = 0; k < std::min(kSamples, pages) && read; ++k) {
    const uint64_t at = pages <= kSamples ? k : k * (pages - 1) / (kSamples - 1);
    read = file->pMethods->xRead(file, page.data(), static_cast<int>(pageSize),
                                 static_cast<sqlite3_int64>(at * pageSize)) == SQLITE_OK;
    XXH3_64bits_update(state, page.data(), page.size());
  }
  const uint64_t hash = XXH3_64bits_digest(state);
  XXH3_freeState(state);
  if (!read) return std::nullopt;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return "sqlite;size=" + std::to_string(size) + ";time=" + *fileTime + ";pages=" + hex;
}

void RegisterModules(sqlite3* db, Bindings* bindings) {
  for (bool values : {false, true}) {
    auto* aux = new ModuleAux{bindings, values};
    sqlite3_create_module_v2(db, values ? "mirel_values" : "mirel_vehicles", &kModule, aux,
                             [](void* p) { delete static_cast<ModuleAux*>(p); });
  }
}

facets::EquipmentTypes SqliteBackend::Types() {
  std::map<std::string, Affinity> columns;
  ForEachRow(m_db, "PRAGMA main.table_info(equipment)", [&](sqlite3_stmt* stmt) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
    columns[LowerAscii(name ? name : "")] = AffinityOf(type ? type : "");
  });
  auto is = [&](const char* column, Affinity affinity) {
    auto it = columns.find(column);
    return it != columns.end() && it->second == affinity;
  };
  // The values compare as the virtual table's do only under the default collation.
  const char* collation = nullptr;
  const bool binary = sqlite3_table_column_metadata(m_db, "main", "equipment", "data_value", nullptr, &collation,
                                                    nullptr, nullptr, nullptr) == SQLITE_OK &&
                      collation && EqualsNoCase(collation, "BINARY");
  facets::EquipmentTypes types;
  types.levels = is("vehicle_id", Affinity::Integer);
  types.facets = types.levels && is("schema_id", Affinity::Integer) && is("location", Affinity::Integer) &&
                 is("option_id", Affinity::Integer) && is("data_value", Affinity::Text) && binary;
  return types;
}

std::vector<int64_t> SqliteBackend::Ids(const std::string& tsql) {
  std::vector<int64_t> ids;
  ForEachRow(m_db, RewriteTsql(tsql, Dialect::SQLite), [&](sqlite3_stmt* stmt) {
    if (sqlite3_column_type(stmt, 0) != SQLITE_INTEGER) throw NotEquivalent{};
    ids.push_back(sqlite3_column_int64(stmt, 0));
  });
  return ids;
}

std::vector<int64_t> SqliteBackend::VehicleIds() {
  // The index on (vehicle_id, option_id) gives them ascending, each once.
  return Ids("select distinct vehicle_id from equipment order by vehicle_id");
}

void SqliteBackend::ScanItem(int64_t schemaId, const std::function<void(const facets::PostingRow&)>& row) {
  // In the order of the covering index on (schema_id, location, data_value, vehicle_id):
  // each value's rows come together.
  ForEachRow(m_db,
             "select vehicle_id, location, data_value, option_id = 0, cast(data_value as real) from equipment "
             "where schema_id = " +
                 std::to_string(schemaId) + " order by location, data_value, vehicle_id",
             [&](sqlite3_stmt* stmt) {
               if (sqlite3_column_type(stmt, 0) != SQLITE_INTEGER) throw NotEquivalent{};
               const int locationType = sqlite3_column_type(stmt, 1);
               if ((locationType != SQLITE_INTEGER && locationType != SQLITE_NULL) ||
                   sqlite3_column_type(stmt, 2) != SQLITE_TEXT)
                 throw NotEquivalent{};
               const bool locationNull = locationType == SQLITE_NULL;
               row(facets::PostingRow{
                   locationNull, locationNull ? 0 : sqlite3_column_int64(stmt, 1),
                   std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2)),
                                    static_cast<size_t>(sqlite3_column_bytes(stmt, 2))),
                   sqlite3_column_double(stmt, 4), sqlite3_column_int64(stmt, 0),
                   sqlite3_column_type(stmt, 3) == SQLITE_INTEGER && sqlite3_column_int64(stmt, 3) == 1});
             });
}

std::shared_ptr<const facets::CompanionIndex> SqliteBackend::Companion() {
  if (m_companionLooked) return m_companion;
  m_companionLooked = true;
  if (m_source.path.empty() || m_source.stamp.empty()) return nullptr;  // the version read is not known
  if (m_source.cache)
    if (auto kept = m_source.cache->Get<Kept::Companion>(m_source.stamp, m_source.path)) return m_companion = kept->index;
  auto lookup = std::make_shared<CompanionLookup>();
  const std::optional<std::string> binding =
      m_source.fileTime ? CompanionBinding(m_db, m_source.fileTime()) : std::nullopt;
  if (binding) lookup->index = facets::CompanionIndex::Open(m_source.path, *binding, &lookup->why);
  else lookup->why = "cannot be checked against the database file (replaced meanwhile)";
  if (m_source.report) m_source.report(lookup->index != nullptr, lookup->why);
  if (m_source.cache) m_source.cache->Put<Kept::Companion>(m_source.stamp, m_source.path, lookup, sizeof(CompanionLookup));
  return m_companion = lookup->index;
}

std::vector<int64_t> SqliteBackend::CriteriaItems(const std::string& project) {
  std::vector<int64_t> ids;
  ForEachRow(m_db, "select distinct criterion_schema_id from \"" + project + "\".search_by_features",
             [&](sqlite3_stmt* stmt) {
               const int type = sqlite3_column_type(stmt, 0);
               if (type == SQLITE_NULL) return;  // equals nothing
               if (type != SQLITE_INTEGER) throw NotEquivalent{};
               ids.push_back(sqlite3_column_int64(stmt, 0));
             });
  return ids;
}

std::optional<std::vector<facets::CriterionValues::Value>> SqliteBackend::CriteriaValues(const std::string& project) {
  std::vector<facets::CriterionValues::Value> values;
  ForEachRow(m_db,
             "select distinct criterion_schema_id, cast(criterion_value as real) from \"" + project +
                 "\".search_by_features where criterion_value is not null order by 1",
             [&](sqlite3_stmt* stmt) {
               if (sqlite3_column_type(stmt, 0) == SQLITE_NULL) return;
               if (sqlite3_column_type(stmt, 0) != SQLITE_INTEGER) throw NotEquivalent{};
               values.push_back({sqlite3_column_int64(stmt, 0), sqlite3_column_double(stmt, 1)});
             });
  return values;
}

bool SqliteBackend::VersionKeyIsWhole() {
  const char* type = nullptr;
  return sqlite3_table_column_metadata(m_db, "main", "version", "vehicle_id", &type, nullptr, nullptr, nullptr,
                                       nullptr) == SQLITE_OK &&
         type && AffinityOf(type) == Affinity::Integer;
}

facets::KeyedTable SqliteBackend::Rows(const std::string& tsql) {
  facets::KeyedTable rows;
  std::shared_ptr<facets::CompactTable> table;
  std::vector<mirel_SbF::Variant> row;
  ForEachRow(m_db, RewriteTsql(tsql, Dialect::SQLite), [&](sqlite3_stmt* stmt) {
    if (sqlite3_column_type(stmt, 0) != SQLITE_INTEGER) throw NotEquivalent{};
    rows.keys.push_back(sqlite3_column_int64(stmt, 0));
    const int columns = sqlite3_column_count(stmt);
    if (!table) {
      std::vector<std::string> names;
      for (int c = 0; c < columns; ++c) names.emplace_back(sqlite3_column_name(stmt, c));
      table = std::make_shared<facets::CompactTable>(std::move(names));
    }
    row.clear();
    for (int c = 0; c < columns; ++c) row.push_back(ValueOf(stmt, c));
    table->AddRow(row);
  });
  if (table) table->Shrink();
  rows.table = std::move(table);
  rows.keys.shrink_to_fit();
  return rows;
}

std::optional<std::string_view> SqliteLeft(std::string_view value, int64_t count) {
  // substr reads its count with sqlite3_value_int; a negative one counts backwards.
  if (count < 0 || count > INT32_MAX) return std::nullopt;
  size_t end = 0;
  for (; count > 0 && end < value.size() && value[end] != '\0'; --count) {
    if (static_cast<unsigned char>(value[end++]) < 0xc0) continue;
    while (end < value.size() && (static_cast<unsigned char>(value[end]) & 0xc0) == 0x80) ++end;
  }
  return value.substr(0, end);
}

std::optional<std::string_view> SqliteBackend::Left(std::string_view value, int64_t count) const {
  return SqliteLeft(value, count);
}

std::optional<facets::Literal> SqliteBackend::NumberLiteral(const std::string& text) {
  // What SQLite makes of a literal depends on the literal alone: each is asked once per
  // thread (a screen's texts repeat the same few bounds), within a bounded table.
  thread_local std::unordered_map<std::string, std::optional<facets::Literal>> known;
  if (const auto it = known.find(text); it != known.end()) return it->second;
  std::optional<facets::Literal> literal;
  ForEachRow(m_db, "select " + text, [&](sqlite3_stmt* stmt) {
    const int type = sqlite3_column_type(stmt, 0);
    if (type == SQLITE_INTEGER) literal = facets::Literal{true, sqlite3_column_int64(stmt, 0), 0};
    else if (type == SQLITE_FLOAT) literal = facets::Literal{false, 0, sqlite3_column_double(stmt, 0)};
  });
  if (known.size() >= 4096) known.clear();
  known.emplace(text, literal);
  return literal;
}

int64_t SqliteBackend::Bind(std::shared_ptr<const VehicleSet> set) {
  const int64_t id = m_bindings->next++;
  m_bindings->vehicles.emplace(id, std::make_shared<const std::vector<int64_t>>(set->Ids()));
  return id;
}

int64_t SqliteBackend::Bind(std::shared_ptr<const facets::ValueRows> rows) {
  const int64_t id = m_bindings->next++;
  m_bindings->values.emplace(id, std::move(rows));
  return id;
}

void SqliteBackend::ReleaseBindings() {
  m_bindings->vehicles.clear();
  m_bindings->values.clear();
}

}  // namespace mirel_platform::sqlite_detail
