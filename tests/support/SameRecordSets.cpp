#include "support/SameRecordSets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "mirel_SbF/Search.h"
#include "runtime/TextBasics.h"

namespace mirel_test {

namespace {

// A value with its type; a double as the library shows it (fifteen significant digits).
std::string Show(const mirel_SbF::Variant& v) {
  if (v.IsNull()) return "null";
  return std::to_string(static_cast<int>(v.Type())) + ":" + mirel_SbF::CStr(v);
}

using Rows = std::vector<std::vector<std::string>>;

Rows Sorted(Rows rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

struct Table {
  std::vector<std::string> names;
  Rows rows;  // each value printed with its type
};

// Reads all rows (the names when there is a row to read them from).
Table ReadTable(mirel_SbF::Recordset& rs) {
  Table t;
  if (!rs.EndOfFile())
    for (int32_t i = 0; i < rs.FieldCount(); ++i) t.names.push_back(mirel_platform::LowerAscii(rs.Fields(i).Name()));
  for (; !rs.EndOfFile(); rs.MoveNext()) {
    std::vector<std::string> row;
    for (int32_t i = 0; i < rs.FieldCount(); ++i) row.push_back(Show(rs.Fields(i).Value()));
    t.rows.push_back(std::move(row));
  }
  return t;
}

// Fails the test where `fast` is not the record set `plain` is for the text `sql`.
void ExpectSame(const std::string& sql, const Table& plain, const Table& fast) {
  EXPECT_EQ(plain.names, fast.names);
  const std::string lower = mirel_platform::LowerAscii(sql);
  const bool ordered = lower.find("order by") != std::string::npos;
  if (ordered && lower.rfind("select distinct eq.vehicle_id", 0) != 0) {
    EXPECT_EQ(plain.rows, fast.rows);
    return;
  }
  EXPECT_EQ(Sorted(plain.rows), Sorted(fast.rows));
  if (ordered) {  // the sort columns come in the same order
    auto keys = [](const Table& t) {
      Rows out;
      for (const auto& row : t.rows) out.emplace_back(row.begin() + 1, row.end());
      return out;
    };
    EXPECT_EQ(keys(plain), keys(fast)) << "the sort columns in another order";
  }
}

}  // namespace

DifferentialProvider::DifferentialProvider(const std::string& name, std::string plain, std::vector<std::string> forms,
                                           Run run)
    : m_plain(std::move(plain)), m_forms(std::move(forms)), m_run(std::move(run)) {
  mirel_base::RegisterProvider(name, [this](const std::string& sql, const std::string& db, const std::string& conn) {
    return Compare(sql, db, conn);
  });
}

std::shared_ptr<mirel_SbF::Recordset> DifferentialProvider::Compare(const std::string& sql, const std::string& db,
                                                                    const std::string& conn) {
  std::shared_ptr<mirel_SbF::Recordset> plain;
  try {
    plain = m_run(sql, db, conn, m_plain);
  } catch (const mirel_SbF::Error& e) {
    for (const std::string& form : m_forms) {
      try {
        m_run(sql, db, conn, form);
        ADD_FAILURE() << form << " answered where the text as written fails (" << e.Description() << "): " << sql;
      } catch (const mirel_SbF::Error& other) {
        EXPECT_EQ(std::make_tuple(other.Number(), other.Source(), other.Description()),
                  std::make_tuple(e.Number(), e.Source(), e.Description()))
            << form << ": " << sql;
      }
    }
    throw;
  }
  const Table expected = ReadTable(*plain);
  for (const std::string& form : m_forms) {
    SCOPED_TRACE(form + ": " + sql);
    ExpectSame(sql, expected, ReadTable(*m_run(sql, db, conn, form)));
  }
  ++m_compared;
  return m_run(sql, db, conn, m_plain);
}

bool RandomSearch(std::mt19937& rng, const std::string& connection, const SearchChoices& choices) {
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  mirel_SbF::Search s;
  s.SetDatabaseInfo(connection, "specs", "prj", rng() % 2 ? 1 : 3, pick({"USD", "EUR,USD", "GBP,EUR,USD"}));
  s.ExcludeAdvancedVehicles(rng() % 2);
  s.ExcludeOldVehicles(rng() % 2);
  s.ExcludeBuiltVehicles(rng() % 2);
  if (rng() % 3 == 0) s.MakeInclusionList(pick({"1", "2,3", "1, 4", "9"}));
  if (rng() % 4 == 0) s.OEMInclusionList(pick({"1", "2,3"}));
  if (rng() % 4 == 0) s.ModelExclusionList(pick({"1", "2,5"}));
  if (rng() % 4 == 0) s.SegmentId(1);
  // Counts, kept values and either-or criteria: texts of their own, compared the same way.
  s.CountVehicles(rng() % 2);
  s.KeepAllValues(rng() % 4 == 0);
  if (rng() % 3 == 0) s.EitherOr(pick({"7401", "7402", "1101"}), pick({"0", "1"}), true);
  for (int c = static_cast<int>(rng() % 6); c > 0; --c) {
    switch (rng() % 4) {
      case 0: s.AddSelection(pick({"7401", "7402"}), pick({"0", "1"}), "", pick(choices.codedValues)); break;
      case 1: s.AddMinMax(pick({"1101", "135"}), "0", "", pick({"-5", "0", "10"}), pick({"12", "100", "300"})); break;
      case 2: s.AddMin("902", "0", "", pick({"6000", "12000.5"})); break;
      default: s.AddMax(pick({"135", "1101"}), pick({"0", "1"}), "", pick({"1.5", "50"})); break;
    }
  }
  const bool standard = rng() % 3 == 0;
  const bool reduce = rng() % 4 != 0;
  // The chosen equipment standard too: levels with an option_id condition of their own.
  if (standard) s.StandardChoices(rng() % 2);
  try {
    s.DoSearch(standard, pick(choices.sections), reduce);
    s.GetNumberOfMatchingVehicles(standard, reduce);
    const std::string sort = pick({"", "name", "model_year,name", "price", "nosuch", "name,"});
    try {
      s.GetMatchingVehicles(standard, reduce, sort)->Close();
    } catch (const mirel_SbF::Error&) {
      if (sort != "nosuch" && sort != "name,") throw;  // a column version lacks, an empty one
    }
    s.GetSbFHeadings()->Close();
    return true;
  } catch (const mirel_SbF::Error&) {
    return false;
  }
}

}  // namespace mirel_test
