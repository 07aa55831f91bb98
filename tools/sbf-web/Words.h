// The page's own wording in the screen's language (English, German and French; other
// languages read English), and the language tag of the page.
#pragma once

#include <cstdint>
#include <string>

namespace sbf_web {

struct Words {
  const char* title;           // the page heading
  const char* vehicleMatches;  // after "1"
  const char* vehiclesMatch;   // after any other count
  const char* hidden;          // "{n} more ..." : {n} replaced
  const char* show;            // "Show {n} vehicles"
  const char* language;
  const char* currency;
  const char* alsoShownIn;
  const char* addCurrency;
  const char* storedIn;        // "prices are stored in {c}"
  const char* remove;
  const char* standardOnly;
  const char* clearAll;
  const char* yourChoices;
  const char* from;
  const char* to;
  const char* upTo;
  const char* any;
  const char* apply;
  const char* noCriteria;
  const char* noMatch;
  const char* matchingVehicles;
  const char* firstOf;         // "The first {n} of {m} vehicles."
  const char* name;            // column titles without a criterion of their own
  const char* model;
  const char* ascending;
  const char* descending;
  const char* errorTitle;
  const char* back;
  const char* clearState;
  const char* startOver;
  const char* otherLanguage;
  const char* otherCurrencies;
  const char* eitherOr;   // the check box that makes a row's values widen the search
  const char* noVehicle;  // the hint on a greyed value
};

const Words& WordsFor(int32_t language);

// "en-GB", "de", ... for the page's lang attribute; "en" for an unknown id.
std::string LanguageTag(int32_t language);

// `text` with "{n}" and "{m}" replaced.
std::string Fill(const char* text, const std::string& n, const std::string& m = "");

}  // namespace sbf_web
