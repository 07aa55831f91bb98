// What the sample databases know about makes, maker groups and languages:
// the make names of the cars data set (with its misspellings corrected), the
// group each make belongs to, and the texts of the coded items in every
// language the databases carry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Vehicle.h"

namespace sampledb {

// Language ids of every text table: 1 English (UK), 3 German, 5 French, 7 English (US).
inline constexpr int kLanguageIds[] = {1, 3, 5, 7};

// One text in each language of kLanguageIds; US English falls back to UK English.
struct Texts {
  std::string enGb, de, fr, enUs;
  const std::string& In(int languageId) const;  // REQUIRES: languageId in kLanguageIds
};

// A proper name, written the same in every language.
Texts SameInAll(const std::string& name);

struct MakeInfo {
  std::string key;       // normalised lower-case name, e.g. "mercedes"
  std::string name;      // display name, e.g. "Mercedes-Benz"
  std::string groupKey;  // key of the maker group (item 117)
  Origin home = Origin::US;
  int share = 1;         // relative frequency in the cars data set, for the generator
};

// The make of `key`; a make the catalogue does not know is displayed with its
// key capitalised and forms a maker group of its own.
MakeInfo FindMake(const std::string& key);

// Every make the catalogue knows, in key order.
const std::vector<MakeInfo>& KnownMakes();

// The name of maker group `groupKey` in every language.
Texts GroupNames(const std::string& groupKey);

// Splits a data-set name such as "chevy c20" into a normalised make key
// ("chevrolet") and a display model ("C20"). The make is the first word; known
// misspellings and abbreviations are mapped to the make they stand for. A name
// that is only a make gets the make's display name as its model.
struct SplitName {
  std::string makeKey;
  std::string model;
};
SplitName SplitVehicleName(std::string_view rawName);

// Capitalises a model name for display: "rebel sst (sw)" -> "Rebel SST (SW)".
// Each run of letters starts upper case; runs that hold a digit or no vowel
// (type codes such as "rx-4", "gl", "cvcc") and a few trim codes ("se", "xe")
// are written in capitals, except a run followed by "." (an abbreviation such
// as "st.").
std::string CapitaliseModel(std::string_view model);

// Texts of the coded values of items 106, 7401, 7402, 7403, 7404.
struct CodedText {
  int schemaId;
  std::string value;
  Texts text;
};
const std::vector<CodedText>& FixedCodedTexts();

}  // namespace sampledb
