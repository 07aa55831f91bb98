#include "common/modMisc.h"

#include <vector>

#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "runtime/Unicode.h"
#include "runtime/nls/Nls.h"

namespace mirel_SbF {
namespace {

// List positions are 16-bit in the original helpers: a comma beyond position 32,767
// overflows rather than being silently accepted.
constexpr size_t kMaxListPosition = 32767;

std::vector<std::string> SplitAndTrim(const std::string& list) {
  std::vector<std::string> entries = SplitText(list, ',');
  size_t commaPosition = 0;  // 1-based position of the comma after each entry
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i + 1 < entries.size()) {
      commaPosition += entries[i].size() + 1;
      if (commaPosition > kMaxListPosition) Raise(RuntimeError::Overflow);
    }
    entries[i] = TrimBlanks(entries[i]);
  }
  return entries;
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  std::string out;
  size_t start = 0;
  for (size_t at; (at = text.find(from, start)) != std::string::npos; start = at + from.size()) {
    out.append(text, start, at - start);
    out += to;
  }
  out.append(text, start, std::string::npos);
  return out;
}

bool StartsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }
bool EndsWith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

}  // namespace

std::vector<std::string> SplitText(const std::string& text, char separator) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    fields.push_back(text.substr(start, at - start));
  fields.push_back(text.substr(start));
  return fields;
}

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string ConvertListToSQLClause(const std::string& strFieldName, const std::string& strList,
                                   const std::string& strOperator,
                                   const std::string& strConjunction) {
  return WithHandler("ConvertListToSQLClause", [&] {
    if (strList.empty()) Raise(kErrObject, "Missing or empty column list");
    if (strFieldName.empty()) Raise(kErrObject, "Missing field (column) name");
    std::vector<std::string> entries = SplitAndTrim(strList);
    std::string clause;
    for (size_t i = 0; i < entries.size(); ++i) {
      clause += "(" + strFieldName + " " + strOperator + " N'" + DoubleQuotes(entries[i]);
      clause += i + 1 < entries.size() ? "') " + strConjunction + " " : "')";
    }
    return clause;
  });
}

std::string AddTablePrefixToCommaDelimitedList(const std::string& strTablePrefix,
                                               const std::string& strList) {
  return WithHandler("AddTablePrefixToCommaDelimitedList", [&] {
    if (strList.empty()) Raise(kErrObject, "Missing or empty column list");
    if (strTablePrefix.empty()) Raise(kErrObject, "Missing table prefix");
    std::vector<std::string> entries = SplitAndTrim(strList);
    std::string columns;
    for (size_t i = 0; i < entries.size(); ++i) {
      // An empty entry stays empty (the database reports it); anything else must be a
      // plain or bracketed column name, since it goes into the statement as it is.
      if (!entries[i].empty()) RequireColumnReference("Sort column", entries[i]);
      columns += strTablePrefix + "." + entries[i];
      if (i + 1 < entries.size()) columns += ", ";
    }
    return columns;
  });
}

void TidyList(std::string& strList, const std::string& strDelimiter, bool bAddQuotes) {
  WithHandler("TidyList", [&] {
    std::string list = TrimBlanks(strList);
    list = ReplaceAll(list, " " + strDelimiter, strDelimiter);
    list = ReplaceAll(list, strDelimiter + " ", strDelimiter);
    if (!list.empty() && !strDelimiter.empty()) {
      while (StartsWith(list, strDelimiter)) {
        if (list.size() < 2) list.clear(); else list.erase(0, 1);
      }
      while (!list.empty() && EndsWith(list, strDelimiter)) {
        if (list.size() < 2) list.clear(); else list.pop_back();
      }
      if (bAddQuotes && !list.empty()) {
        list = DoubleQuotes(list);
        list = "N'" + ReplaceAll(list, strDelimiter, "'" + strDelimiter + "N'") + "'";
      }
    }
    strList = list;
  });
}

std::string Capitalize(const std::string& strText, int32_t lLanguageId) {
  std::string text = TrimBlanks(strText);
  switch (lLanguageId) {
    case 3: case 8: case 9: case 10: case 12: case 25: case 34: case 35:
      return text;
    default:
      return mirel_platform::UpperFirstCharacter(text);
  }
}

}  // namespace mirel_SbF

namespace mirel_SbF {

int32_t ConvertLanguageIdToLCID(int32_t lngLangId) {
  // Index = language id; 22 has no locale of its own.
  static constexpr int32_t kLocales[] = {
      0,    2057, 1034, 1031, 1040, 1036, 1043, 1033, 1041, 1042, 1037, 1032, 1050,
      1035, 1027, 2070, 1053, 1055, 2058, 1033, 3081, 1046, 0,    1044, 1030, 1028,
      3084, 1038, 6153, 2060, 2067, 1029, 1045, 1054, 2052, 2055, 1049, 11274, 1060,
  };
  if (lngLangId < 1 || lngLangId > 38) return 0;
  return kLocales[lngLangId];
}

std::string GetRegionalSettings(int32_t lLCID, int32_t lLCType) {
  return WithHandler("GetRegionalSettings", [&] {
    const auto lcid = static_cast<mirel_platform::LCID>(lLCID);
    const auto type = static_cast<mirel_platform::LCTYPE>(lLCType);
    const int size = mirel_platform::GetLocaleInfoA(lcid, type, nullptr, 0);
    std::string buffer(static_cast<size_t>(size > 0 ? size : 0), '\0');
    mirel_platform::GetLocaleInfoA(lcid, type, buffer.data(), size);
    return buffer.substr(0, buffer.find('\0'));
  });
}

}  // namespace mirel_SbF
