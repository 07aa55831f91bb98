#include "Catalog.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace sampledb {

const std::string& Texts::In(int languageId) const {
  switch (languageId) {
    case 1: return enGb;
    case 3: return de;
    case 5: return fr;
    case 7: return enUs.empty() ? enGb : enUs;
    default: throw std::logic_error("no texts for language " + std::to_string(languageId));
  }
}

Texts SameInAll(const std::string& name) { return Texts{name, name, name, name}; }

namespace {

// Makes of the cars data set. `share` is the make's number of cars there,
// misspellings included, which the synthetic generator uses as its weight.
const std::vector<MakeInfo>& MakeTable() {
  static const std::vector<MakeInfo> table = {
      {"amc", "AMC", "amc", Origin::US, 29},
      {"audi", "Audi", "volkswagen-group", Origin::EU, 7},
      {"bmw", "BMW", "bmw", Origin::EU, 2},
      {"buick", "Buick", "gm", Origin::US, 17},
      {"cadillac", "Cadillac", "gm", Origin::US, 2},
      {"chevrolet", "Chevrolet", "gm", Origin::US, 48},
      {"chrysler", "Chrysler", "chrysler", Origin::US, 6},
      {"citroen", "Citroën", "citroen", Origin::EU, 1},
      {"datsun", "Datsun", "nissan", Origin::JP, 23},
      {"dodge", "Dodge", "chrysler", Origin::US, 28},
      {"fiat", "Fiat", "fiat", Origin::EU, 8},
      {"ford", "Ford", "ford", Origin::US, 53},
      {"honda", "Honda", "honda", Origin::JP, 13},
      {"international", "International", "international", Origin::US, 1},
      {"mazda", "Mazda", "mazda", Origin::JP, 12},
      {"mercedes", "Mercedes-Benz", "mercedes", Origin::EU, 3},
      {"mercury", "Mercury", "ford", Origin::US, 12},
      {"nissan", "Nissan", "nissan", Origin::JP, 1},
      {"oldsmobile", "Oldsmobile", "gm", Origin::US, 10},
      {"opel", "Opel", "gm", Origin::EU, 4},
      {"peugeot", "Peugeot", "peugeot", Origin::EU, 8},
      {"plymouth", "Plymouth", "chrysler", Origin::US, 32},
      {"pontiac", "Pontiac", "gm", Origin::US, 16},
      {"renault", "Renault", "renault", Origin::EU, 5},
      {"saab", "Saab", "saab", Origin::EU, 5},
      {"subaru", "Subaru", "subaru", Origin::JP, 4},
      {"toyota", "Toyota", "toyota", Origin::JP, 26},
      {"triumph", "Triumph", "triumph", Origin::EU, 1},
      {"volkswagen", "Volkswagen", "volkswagen-group", Origin::EU, 23},
      {"volvo", "Volvo", "volvo", Origin::EU, 6},
  };
  return table;
}

// Groups that hold more than one make or whose name is not a make's name.
// Every other make is a group of its own, named like the make.
struct GroupEntry {
  const char* key;
  Texts names;
};
const std::vector<GroupEntry>& GroupTable() {
  static const std::vector<GroupEntry> table = {
      {"gm", SameInAll("General Motors")},
      {"ford", SameInAll("Ford")},
      {"chrysler", SameInAll("Chrysler")},
      {"amc", SameInAll("AMC")},
      {"volkswagen-group", {"Volkswagen Group", "Volkswagen-Konzern", "Groupe Volkswagen", ""}},
      {"nissan", SameInAll("Nissan")},
  };
  return table;
}

// First words of the cars data set that are not the make's own key.
struct Alias {
  const char* word;
  const char* makeKey;
  bool wordIsModel;  // "capri ii" is the Mercury Capri II: the word stays in the model
};
constexpr Alias kAliases[] = {
    {"chevy", "chevrolet", false},     {"chevroelt", "chevrolet", false},
    {"vw", "volkswagen", false},       {"vokswagen", "volkswagen", false},
    {"toyouta", "toyota", false},      {"maxda", "mazda", false},
    {"mercedes-benz", "mercedes", false}, {"hi", "international", false},
    {"capri", "mercury", true},
};

// Words of models garbled in the data set ("honda Accelerationord" is the
// Accord, mangled by a search-and-replace of a column name).
struct WordFix {
  const char* word;
  const char* fixed;
};
constexpr WordFix kWordFixes[] = {{"accelerationord", "accord"}};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

MakeInfo FindMake(const std::string& key) {
  const std::vector<MakeInfo>& table = MakeTable();
  const auto it = std::lower_bound(table.begin(), table.end(), key,
                                   [](const MakeInfo& m, const std::string& k) { return m.key < k; });
  if (it != table.end() && it->key == key) return *it;
  MakeInfo unknown;
  unknown.key = key;
  unknown.name = CapitaliseModel(key);
  unknown.groupKey = key;
  return unknown;
}

const std::vector<MakeInfo>& KnownMakes() { return MakeTable(); }

Texts GroupNames(const std::string& groupKey) {
  for (const GroupEntry& g : GroupTable())
    if (groupKey == g.key) return g.names;
  return SameInAll(FindMake(groupKey).name);
}

SplitName SplitVehicleName(std::string_view rawName) {
  // Words, lower case, single blanks.
  std::vector<std::string> words;
  std::string word;
  for (const char c : rawName) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (!word.empty()) words.push_back(Lower(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(Lower(word));
  if (words.empty()) throw std::invalid_argument("empty vehicle name");

  SplitName out;
  std::size_t firstModelWord = 1;
  out.makeKey = words[0];
  for (const Alias& a : kAliases) {
    if (words[0] == a.word) {
      out.makeKey = a.makeKey;
      if (a.wordIsModel) firstModelWord = 0;
      break;
    }
  }
  // "mercedes benz 300d": the second half of the make is not part of the model.
  if (out.makeKey == "mercedes" && firstModelWord < words.size() && words[firstModelWord] == "benz")
    ++firstModelWord;

  std::string model;
  for (std::size_t i = firstModelWord; i < words.size(); ++i) {
    std::string w = words[i];
    for (const WordFix& f : kWordFixes)
      if (w == f.word) w = f.fixed;
    if (!model.empty()) model += ' ';
    model += w;
  }
  out.model = model.empty() ? FindMake(out.makeKey).name : CapitaliseModel(model);
  return out;
}

std::string CapitaliseModel(std::string_view model) {
  std::string out(model);
  std::size_t i = 0;
  while (i < out.size()) {
    if (!IsAsciiAlpha(out[i]) && !IsAsciiDigit(out[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    bool hasDigit = false, hasVowel = false;
    while (end < out.size() && (IsAsciiAlpha(out[end]) || IsAsciiDigit(out[end]))) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(out[end])));
      hasDigit = hasDigit || IsAsciiDigit(c);
      hasVowel = hasVowel || c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'y';
      ++end;
    }
    const bool abbreviation = end < out.size() && out[end] == '.' && !hasDigit;
    // Roman numerals of model generations: "ii", "iii".
    const bool roman = std::all_of(out.begin() + static_cast<std::ptrdiff_t>(i),
                                   out.begin() + static_cast<std::ptrdiff_t>(end),
                                   [](char c) { return c == 'i' || c == 'I'; }) &&
                       end - i >= 2;
    // Trim codes of the data set that hold a vowel yet are written in capitals.
    const std::string run = Lower(std::string_view(out).substr(i, end - i));
    const bool trimCode = run == "se" || run == "xe" || run == "sst" || run == "gt";
    if (roman || hasDigit || trimCode || (!hasVowel && !abbreviation)) {
      for (std::size_t k = i; k < end; ++k) out[k] = Upper(out[k]);
    } else {
      out[i] = Upper(out[i]);
    }
    i = end;
  }
  return out;
}

const std::vector<CodedText>& FixedCodedTexts() {
  static const std::vector<CodedText> table = {
      {106, "A", {"Advance model", "Vorabmodell", "Modèle en avant-première", ""}},
      {106, "N", {"Current model", "Aktuelles Modell", "Modèle actuel", ""}},
      {7401, "US", {"United States", "USA", "États-Unis", ""}},
      {7401, "EU", {"Europe", "Europa", "Europe", ""}},
      {7401, "JP", {"Japan", "Japan", "Japon", ""}},
      {7402, "I", {"Inline engine", "Reihenmotor", "Moteur en ligne", ""}},
      {7402, "V", {"V engine", "V-Motor", "Moteur en V", ""}},
      {7402, "R", {"Rotary engine (Wankel)", "Kreiskolbenmotor (Wankel)", "Moteur rotatif (Wankel)", ""}},
      {7403, "Y", {"Air conditioning", "Klimaanlage", "Climatisation", ""}},
      {7404, "1", {"Light (under 2,500 lb)", "Leicht (unter 2.500 lb)", "Léger (moins de 2 500 lb)", ""}},
      {7404, "2",
       {"Medium (2,500 to 3,499 lb)", "Mittel (2.500 bis 3.499 lb)", "Moyen (2 500 à 3 499 lb)", ""}},
      {7404, "3",
       {"Heavy (3,500 lb and over)", "Schwer (ab 3.500 lb)", "Lourd (3 500 lb et plus)", ""}},
  };
  return table;
}

}  // namespace sampledb
