#include "pricing/Pricing.h"


#include "runtime/ErrorHandling.h"
#include "runtime/NumberText.h"
#include "common/modMisc.h"
#include "mirel_SbF/Connector.h"
#include "runtime/nls/Nls.h"
#include "runtime/nls/TodayFormat.h"

namespace mirel_SbF {
namespace {

// The number before the first ";" of a grouping item such as "3;0". An item without ";"
// is refused as the original's text handling refused it (invalid argument).
int32_t LeadingGroup(const std::string& grouping) {
  size_t semicolon = grouping.find(';');
  if (semicolon == std::string::npos) Raise(RuntimeError::InvalidCall);
  return CLng(Variant(grouping.substr(0, semicolon)));
}

int32_t NumericItem(int32_t lcid, int32_t item) {
  return CLng(Variant(GetRegionalSettings(lcid, item)));
}

// The regional settings both formatters take, read in the order the original read them
// (grouping, leading zero, negative order, [digits,] decimal and thousands separators).
struct LocaleSettings {
  int32_t grouping = 0;
  int32_t leadingZero = 0;
  int32_t negativeOrder = 0;
  int32_t digits = 0;
  std::string decimal;
  std::string thousand;
};

LocaleSettings ReadLocaleSettings(int32_t lcid, bool withDigits) {
  LocaleSettings s;
  const std::string grouping = GetRegionalSettings(lcid, mirel_platform::LOCALE_SGROUPING);
  s.leadingZero = NumericItem(lcid, mirel_platform::LOCALE_ILZERO);
  s.negativeOrder = NumericItem(lcid, mirel_platform::LOCALE_INEGCURR);
  if (withDigits) s.digits = NumericItem(lcid, mirel_platform::LOCALE_IDIGITS);
  s.decimal = GetRegionalSettings(lcid, mirel_platform::LOCALE_SDECIMAL);
  s.thousand = GetRegionalSettings(lcid, mirel_platform::LOCALE_STHOUSAND);
  s.grouping = LeadingGroup(grouping);
  return s;
}

}  // namespace

void Pricing::InitPricing(const std::string& strCurrencyIdList, const std::string& strDbConn,
                          const std::string& strPrjDbName) {
  if (strCurrencyIdList.empty()) Raise(kErrObject, "No Currencies specified");
  if (strDbConn.empty()) Raise(kErrObject, "Missing project database connection string");
  if (strPrjDbName.empty()) Raise(kErrObject, "Missing project database name");
  m_strCurrencyIdList = strCurrencyIdList + ",EUR";
  // The entries are trimmed of blanks, so that "GBP, USD" converts into " USD" as a
  // host means it (the query list is tidied anyway).
  m_astrCurrencyIds.clear();
  for (const std::string& code : SplitText(strCurrencyIdList, ','))
    m_astrCurrencyIds.push_back(TrimBlanks(code));
  GetCurrencyInfo(strDbConn, strPrjDbName);
}

void Pricing::GetCurrencyInfo(const std::string& strDbConn, const std::string& strPrjDbName) {
  WithHandler("GetCurrencyInfo", [&] {
    std::string codes = m_strCurrencyIdList;
    TidyList(codes, ",", true);
    std::string sql;
    sql += "Select Code,Symbol,symbolafter,decimals,conversion from currency_symbol where ";
    sql += "(code IN (" + codes + "));";
    mirel_base::Connector connector;
    std::shared_ptr<Recordset> rs = connector.ExecuteQuery(sql, strPrjDbName, strDbConn);
    const int32_t count = rs->RecordCount();
    if (count == 0) Raise(kErrPricing, "No records found!");
    std::vector<CurrencyInfo> table;
    table.reserve(static_cast<size_t>(count));
    for (; !rs->EndOfFile(); rs->MoveNext()) {
      if (static_cast<int32_t>(table.size()) == count) Raise(RuntimeError::SubscriptOutOfRange);
      CurrencyInfo info;
      info.dblConversion = CDbl(rs->Fields("conversion").Value());
      info.strCode = CStr(rs->Fields("code").Value());
      Variant after = rs->Fields("symbolafter").Value();
      info.bSymbolBefore = !(!after.IsNull() && !after.IsEmpty() && CDbl(after) == 1);
      info.strSymbol = CStr(rs->Fields("symbol").Value());
      // Read only for today's conventions; a value that is no small whole number counts as none.
      const Variant decimals = rs->Fields("decimals").Value();
      if (decimals.Type() == VariantType::Long || decimals.Type() == VariantType::Double) {
        const double places = decimals.Type() == VariantType::Long ? decimals.AsLong() : decimals.AsDouble();
        if (places >= 0 && places <= 9 && places == static_cast<int32_t>(places)) info.lDecimals = static_cast<int32_t>(places);
      }
      table.push_back(std::move(info));
    }
    rs->Close();
    m_aCurrencies = std::move(table);  // the earlier table goes only when the new one is whole
  });
}

double Pricing::GetConversionRate(const std::string& strCurrCode) const {
  for (const CurrencyInfo& currency : m_aCurrencies)
    if (currency.strCode == strCurrCode) return currency.dblConversion;
  Raise(kErrPricing, "Unable to find currency code!");
}

double Pricing::ConvertPrice(double dblBasePrice, const std::string& strCurrFromCode,
                             const std::string& strCurrToCode) const {
  if (m_strCurrencyIdList.find(strCurrFromCode) == std::string::npos || m_strCurrencyIdList.empty())
    Raise(kErrPricing, "'From Currency Code' requested was not specified");
  if (m_strCurrencyIdList.find(strCurrToCode) == std::string::npos)
    Raise(kErrPricing, "'To Currency Code' requested was not specified");
  if (strCurrFromCode == strCurrToCode) return dblBasePrice;
  double euros = dblBasePrice;
  if (strCurrFromCode != "EUR") {
    const double rate = GetConversionRate(strCurrFromCode);
    if (rate == 0) Raise(RuntimeError::DivisionByZero);
    euros = dblBasePrice / rate;
  }
  return GetConversionRate(strCurrToCode) * euros;
}

bool Pricing::IsPricingField(int32_t lSchemaId) const {
  return (lSchemaId >= 902 && lSchemaId <= 909) || (lSchemaId >= 100902 && lSchemaId <= 100909);
}

std::string Pricing::GetPrimaryCurrencyCode() const {
  if (m_astrCurrencyIds.empty()) Raise(RuntimeError::SubscriptOutOfRange);
  return m_astrCurrencyIds[0];
}

std::string Pricing::FormatCurrencyToLocale(int32_t lLCID, const std::string& strCurrCode,
                                            const std::string& strValue) const {
  return WithHandler("FormatCurrencyToLocale", [&] {
    const CurrencyInfo* currency = nullptr;
    for (const CurrencyInfo& c : m_aCurrencies) {
      if (c.strCode == strCurrCode) {
        currency = &c;
        break;
      }
    }
    if (!currency) Raise(kErrObject, "Unable to locate currency requested");
    if (m_bTodaysConventions) {
      const std::string text = mirel_platform::FormatCurrencyToday(static_cast<mirel_platform::LCID>(lLCID), strValue,
                                                                   currency->strCode, currency->strSymbol,
                                                                   currency->lDecimals);
      if (text.empty()) Raise(RuntimeError::TypeMismatch);
      return text;
    }

    const LocaleSettings locale = ReadLocaleSettings(lLCID, true);
    mirel_platform::CURRENCYFMTA format{};
    format.NumDigits = static_cast<uint32_t>(locale.digits);
    format.LeadingZero = static_cast<uint32_t>(locale.leadingZero);
    format.Grouping = static_cast<uint32_t>(locale.grouping);
    format.lpDecimalSep = locale.decimal.c_str();
    format.lpThousandSep = locale.thousand.c_str();
    format.NegativeOrder = static_cast<uint32_t>(locale.negativeOrder);
    format.PositiveOrder = currency->bSymbolBefore ? 0 : 1;
    // The symbol is put in after formatting, so any symbol text comes out unchanged.
    format.lpCurrencySymbol = "~";

    const auto lcid = static_cast<mirel_platform::LCID>(lLCID);
    const int size = mirel_platform::GetCurrencyFormatA(lcid, 0, strValue.c_str(), &format, nullptr, 0);
    std::string buffer(currency->strSymbol.size() + static_cast<size_t>(size > 0 ? size : 0), ' ');
    mirel_platform::GetCurrencyFormatA(lcid, 0, strValue.c_str(), &format, buffer.data(), size);
    std::string text;
    for (char c : buffer) {
      if (c == '\0') break;
      if (c == '~') text += currency->strSymbol; else text += c;
    }
    return text;
  });
}

std::string Pricing::FormatPrice(double dblConvertedPrice, const std::string& strCurrCode,
                                 int32_t lngLangId) const {
  const int32_t lcid = ConvertLanguageIdToLCID(lngLangId);
  return FormatCurrencyToLocale(lcid, strCurrCode, PlainDecimalText(dblConvertedPrice));
}

std::string Pricing::FormatAllPrices(double dblPrice, const std::string& strCurrCode,
                                     int32_t lngLangId) const {
  if (m_astrCurrencyIds.empty()) Raise(RuntimeError::SubscriptOutOfRange);
  const std::string& first = m_astrCurrencyIds[0];
  std::string text = FormatPrice(ConvertPrice(dblPrice, strCurrCode, first), first, lngLangId);
  if (m_astrCurrencyIds.size() < 2) return text;
  text += " (";
  for (size_t i = 1; i < m_astrCurrencyIds.size(); ++i) {
    if (i != 1) text += ", ";
    const std::string& code = m_astrCurrencyIds[i];
    text += FormatPrice(ConvertPrice(dblPrice, strCurrCode, code), code, lngLangId);
  }
  text += ")";
  return text;
}

std::string Pricing::ConvertAndFormatPrice(double dblBasePrice, const std::string& strCurrFromCode,
                                           const std::string& strCurrToCode,
                                           int32_t lngLangId) const {
  return FormatPrice(ConvertPrice(dblBasePrice, strCurrFromCode, strCurrToCode), strCurrToCode,
                     lngLangId);
}

std::string Pricing::FormatNumber(const std::string& strValue, int32_t lngDecimalDigits,
                                  int32_t lngLanguageId) const {
  return WithHandler("FormatNumber", [&] {
    const int32_t lcid = ConvertLanguageIdToLCID(lngLanguageId);
    if (lngDecimalDigits == -1) return strValue;
    if (m_bTodaysConventions) {
      const std::string text =
          mirel_platform::FormatNumberToday(static_cast<mirel_platform::LCID>(lcid), strValue, lngDecimalDigits);
      if (text.empty()) Raise(RuntimeError::TypeMismatch);
      return text;
    }

    const LocaleSettings locale = ReadLocaleSettings(lcid, false);
    mirel_platform::NUMBERFMTA format{};
    format.NumDigits = static_cast<uint32_t>(lngDecimalDigits);
    format.LeadingZero = static_cast<uint32_t>(locale.leadingZero);
    format.Grouping = static_cast<uint32_t>(locale.grouping);
    format.lpDecimalSep = locale.decimal.c_str();
    format.lpThousandSep = locale.thousand.c_str();
    // The locale's currency order (0..15); the formatter maps orders beyond the five
    // number patterns to "-1.1".
    format.NegativeOrder = static_cast<uint32_t>(locale.negativeOrder);

    const auto id = static_cast<mirel_platform::LCID>(lcid);
    const int size = mirel_platform::GetNumberFormatA(id, 0, strValue.c_str(), &format, nullptr, 0);
    std::string buffer(static_cast<size_t>(size > 0 ? size : 0), ' ');
    mirel_platform::GetNumberFormatA(id, 0, strValue.c_str(), &format, buffer.data(), size);
    return buffer.substr(0, buffer.find('\0'));
  });
}

}  // namespace mirel_SbF
