#include "support/RecordingProvider.h"

#include "mirel_SbF/Connector.h"

namespace mirel_test {

namespace {

bool IsCurrencyQuery(const std::string& sql) {
  return sql.rfind("Select Code,Symbol,symbolafter,decimals,conversion from currency_symbol", 0) == 0;
}

std::shared_ptr<mirel_SbF::Recordset> CurrencyTable() {
  using mirel_SbF::Variant;
  return std::make_shared<mirel_SbF::MemoryRecordset>(
      std::vector<std::string>{"code", "symbol", "symbolafter", "decimals", "conversion"},
      std::vector<std::vector<Variant>>{
          {"EUR", "\u20ac", int32_t{0}, int32_t{2}, 1.0},
          {"USD", "$", int32_t{0}, int32_t{2}, 1.1},
          {"GBP", "\u00a3", int32_t{0}, int32_t{2}, 0.7},
          {"CHF", "CHF", int32_t{1}, int32_t{2}, 0.96},
          {"JPY", "\u00a5", int32_t{0}, int32_t{0}, 158.0},
          {"HUF", "Ft", int32_t{1}, int32_t{0}, 395.0},
      });
}

}  // namespace

std::vector<RecordedQuery> RecordingProvider::SearchQueries() const {
  std::vector<RecordedQuery> out;
  for (const auto& q : m_queries)
    if (!IsCurrencyQuery(q.sql)) out.push_back(q);
  return out;
}

RecordingProvider::RecordingProvider() {
  mirel_base::RegisterProvider("Recording",
                               [this](const std::string& sql, const std::string& db,
                                      const std::string&) { return Run(sql, db); });
}

// No runner: the connector then finds no provider of that name.
RecordingProvider::~RecordingProvider() { mirel_base::RegisterProvider("Recording", {}); }

std::shared_ptr<mirel_SbF::Recordset> RecordingProvider::Run(const std::string& sql, const std::string& db) {
  m_queries.push_back({sql, db});
  if (m_answerCurrencies && IsCurrencyQuery(sql)) return CurrencyTable();
  if (m_nextAnswer < m_answers.size()) return m_answers[m_nextAnswer++];
  return std::make_shared<mirel_SbF::MemoryRecordset>(std::vector<std::string>{"vehicle_id"},
                                                      std::vector<std::vector<mirel_SbF::Variant>>{});
}

}  // namespace mirel_test
