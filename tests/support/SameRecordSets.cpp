#include "support/SameRecordSets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"

namespace mirel_test {

namespace {

std::string Show(const mirel_SbF::Variant& v) {
  switch (v.Type()) {
    case mirel_SbF::VariantType::Null: return "null";
    case mirel_SbF::VariantType::Long: return "L" + std::to_string(v.AsLong());
    case mirel_SbF::VariantType::Double: {
      std::ostringstream out;
      out.precision(17);
      out << "D" << v.AsDouble();
      return out.str();
    }
    case mirel_SbF::VariantType::String: return "S'" + v.AsString() + "'";
    case mirel_SbF::VariantType::Boolean: return v.AsBoolean() ? "true" : "false";
    default: return "empty";
  }
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

using Rows = std::vector<std::vector<std::string>>;

Rows Sorted(Rows rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::string Describe(const Rows& rows) {
  std::string out;
  for (size_t i = 0; i < rows.size() && i < 20; ++i) {
    out += "\n  ";
    for (const auto& v : rows[i]) out += v + " ";
  }
  return out + (rows.size() > 20 ? "\n  …" : "");
}

struct Table {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;  // each value printed with its type
};

// Reads all rows (the names when there is a row to read them from).
Table ReadTable(mirel_SbF::Recordset& rs) {
  Table t;
  if (!rs.EndOfFile())
    for (int32_t i = 0; i < rs.FieldCount(); ++i) t.names.push_back(Lower(rs.Fields(i).Name()));
  for (; !rs.EndOfFile(); rs.MoveNext()) {
    std::vector<std::string> row;
    for (int32_t i = 0; i < rs.FieldCount(); ++i) row.push_back(Show(rs.Fields(i).Value()));
    t.rows.push_back(std::move(row));
  }
  return t;
}

// Empty when `fast` is the record set `plain` is for the text `sql`, else what differs.
std::string DifferenceOf(const std::string& sql, const Table& plain, const Table& fast) {
  if (plain.names != fast.names) return "other column names";
  const std::string lower = Lower(sql);
  const bool ordered = lower.find("order by") != std::string::npos;
  const bool vehicles = lower.rfind("select distinct eq.vehicle_id", 0) == 0;
  if (!ordered || vehicles) {
    if (Sorted(plain.rows) != Sorted(fast.rows))
      return "other rows:" + Describe(Sorted(plain.rows)) + "\nagainst" + Describe(Sorted(fast.rows));
    if (ordered) {  // the sort columns come in the same order
      auto keys = [](const Table& t) {
        Rows out;
        for (const auto& row : t.rows) out.emplace_back(row.begin() + 1, row.end());
        return out;
      };
      if (keys(plain) != keys(fast)) return "the sort columns in another order";
    }
    return {};
  }
  if (plain.rows != fast.rows) return "other rows or order:" + Describe(plain.rows) + "\nagainst" + Describe(fast.rows);
  return {};
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
      } catch (const mirel_SbF::Error&) {
      }
    }
    throw;
  }
  const Table expected = ReadTable(*plain);
  for (const std::string& form : m_forms) {
    const std::string difference = DifferenceOf(sql, expected, ReadTable(*m_run(sql, db, conn, form)));
    EXPECT_TRUE(difference.empty()) << form << ": " << difference << "\n" << sql;
  }
  ++m_compared;
  return m_run(sql, db, conn, m_plain);
}

}  // namespace mirel_test
