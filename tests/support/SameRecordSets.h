// Comparing the record sets one text gives in two forms of evaluation: row by row and in
// order where the text orders them; as sets where it leaves the order open (no ORDER BY); a
// vehicle list sorted by its columns as sets with the sort columns in the same order (vehicles
// with equal sort values may come either way).
#pragma once

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mirel_SbF/Recordset.h"

namespace mirel_test {

// An engine for differential tests, registered as Provider=<name>: it runs each text the
// library composes as written (`run` with the setting `plain`) and then with each setting of
// `forms`, fails the test where a record set differs or where a form answers a text that
// fails as written or fails it with another number, source or description, and hands back
// the text's own result.
class DifferentialProvider {
 public:
  using Run = std::function<std::shared_ptr<mirel_SbF::Recordset>(const std::string& sql, const std::string& db,
                                                                    const std::string& conn, const std::string& setting)>;
  DifferentialProvider(const std::string& name, std::string plain, std::vector<std::string> forms, Run run);
  int Compared() const { return m_compared; }  // texts compared in every form

 private:
  std::shared_ptr<mirel_SbF::Recordset> Compare(const std::string& sql, const std::string& db, const std::string& conn);
  std::string m_plain;
  std::vector<std::string> m_forms;
  Run m_run;
  int m_compared = 0;
};

// What random searches choose from besides the items they use (7401 and 7402 coded, 1101,
// 135 and 902 numeric): coded values and sections of the screen.
struct SearchChoices {
  std::vector<std::string> codedValues;
  std::vector<std::string> sections;
};

// One random search on `connection` through every call that composes a text (a screen, the
// count, a vehicle list, the headings), with random filters, choices, counts, kept values
// and either-or criteria, and sort lists that the engine refuses among those of the vehicle
// list. False when the library raised an error other than such a refusal (a differential
// engine behind `connection` has checked that every form raised it too).
bool RandomSearch(std::mt19937& rng, const std::string& connection, const SearchChoices& choices);

}  // namespace mirel_test
