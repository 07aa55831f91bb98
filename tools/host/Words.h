// The hosts' own wording in the screen's language (English, German and French; other
// languages read English), the language tags and the names of languages. Both hosts use
// it: sbf for its headings and lines, sbf-web for its page.
#pragma once

#include <cstdint>
#include <string>

namespace sbf_host {

struct Words {
  const char* title;           // the page heading
  const char* vehicleMatches;  // after "1"
  const char* vehiclesMatch;   // after any other count
  const char* showOne;         // "Show 1 vehicle"
  const char* show;            // "Show {n} vehicles"
  const char* language;
  const char* currency;
  const char* storedIn;        // "prices are stored in {n} and shown in it too"
  const char* remove;
  const char* standardOnly;
  const char* standardHint;    // what the box means
  const char* clearAll;
  const char* yourChoices;
  const char* from;
  const char* to;
  const char* upTo;
  const char* any;
  const char* apply;
  const char* noCriteria;
  const char* noMatch;
  const char* zeroHint;        // before the choices that, dropped, give vehicles again
  const char* without;         // "without {n}"
  const char* matchingVehicles;
  const char* shownOf;         // "Vehicles {n} to {m} of {t}"
  const char* previous;
  const char* next;
  const char* sortBy;
  const char* name;            // column titles without a criterion of their own
  const char* model;
  const char* ascending;
  const char* descending;
  const char* errorTitle;
  const char* number;          // the error's parts
  const char* source;
  const char* description;
  const char* back;
  const char* clearState;
  const char* startOver;
  const char* otherLanguage;
  const char* otherCurrencies;
  const char* eitherOr;        // the box that makes a row's ticked values widen the search
  const char* eitherOrHint;    // what it means, ticked and not
  const char* noVehicle;       // the hint on a greyed value
  const char* hidden;          // "{n} more vehicles are not shown. Also show:"
  const char* advanced;        // the three kinds the default filters leave out
  const char* old;
  const char* built;
  const char* skipCriteria;
  const char* skipVehicles;
  const char* filters;
  const char* formats;         // the choice of price and number style
  const char* todayStyle;
  const char* windowsStyle;
  const char* typeAmount;      // "or type an amount"
  const char* fromCount;       // what a count after a "from" bound means
  const char* json;
  const char* tooLong;         // the page of a refused request: address too long (414),
  const char* tooLarge;        // headers too large (431),
  const char* tooSlow;         // not complete in time (408)
  const char* colon;           // ": ", in French " : " with a no-break space
  const char* noValue;         // sbf: the mark [-] explained
};

const Words& WordsFor(int32_t language);

// "en-GB", "de", ... for the page's lang attribute; "en" for an unknown id.
std::string LanguageTag(int32_t language);

// The name of a language id of the library in that language itself ("Deutsch
// (Deutschland)", "English (United Kingdom)"), as a language picker shows it; "language N"
// for an id without a locale.
std::string LanguageName(int32_t id);

// `text` with "{n}", "{m}" and "{t}" replaced.
std::string Fill(const char* text, const std::string& n, const std::string& m = "", const std::string& t = "");

}  // namespace sbf_host
