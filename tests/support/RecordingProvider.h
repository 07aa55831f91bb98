// RecordingProvider: an engine for tests, registered as Provider=Recording. It records
// every query (text and database name) and answers each with the next canned record set
// (an empty one when none is queued).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mirel_SbF/Recordset.h"

namespace mirel_test {

struct RecordedQuery {
  std::string sql;
  std::string dbName;
};

class RecordingProvider {
 public:
  static constexpr const char* kConnection = "Provider=Recording";

  RecordingProvider();   // registers itself (replacing an earlier recorder)
  ~RecordingProvider();  // afterwards Provider=Recording fails every query
  RecordingProvider(const RecordingProvider&) = delete;
  RecordingProvider& operator=(const RecordingProvider&) = delete;

  void Queue(std::shared_ptr<mirel_SbF::Recordset> rs) { m_answers.push_back(std::move(rs)); }

  // Currency-table queries (run by SetDatabaseInfo) are answered from a fixed table:
  // EUR 1 "€", USD 1.1 "$", GBP 0.7 "£", CHF 0.96 "CHF" (symbol after the amount).
  // Turn off to answer them from the queue like any other query.
  void AnswerCurrencies(bool on) { m_answerCurrencies = on; }

  const std::vector<RecordedQuery>& Queries() const { return m_queries; }
  // Every query but the currency-table ones.
  std::vector<RecordedQuery> SearchQueries() const;

 private:
  std::shared_ptr<mirel_SbF::Recordset> Run(const std::string& sql, const std::string& db);

  std::vector<RecordedQuery> m_queries;
  std::vector<std::shared_ptr<mirel_SbF::Recordset>> m_answers;
  size_t m_nextAnswer = 0;
  bool m_answerCurrencies = true;
};

}  // namespace mirel_test
