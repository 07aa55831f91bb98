// Pricing: the currencies a search asked for, their symbols and rates (units per euro)
// from the project database, conversion between any two by way of the euro, and the
// formatting of prices and numbers for the user's language.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirel_SbF {

struct CurrencyInfo {
  double dblConversion = 0;  // units of this currency worth one euro
  std::string strCode;
  std::string strSymbol;
  bool bSymbolBefore = true;
  int32_t lDecimals = -1;  // the table's decimals (0 to 9); -1 when it holds none
};

class Pricing {
 public:
  // Errors: "No Currencies specified", "Missing project database connection string",
  // "Missing project database name" (0x80040201); the load's own (source GetCurrencyInfo).
  void InitPricing(const std::string& strCurrencyIdList, const std::string& strDbConn,
                   const std::string& strPrjDbName);

  double ConvertPrice(double dblBasePrice, const std::string& strCurrFromCode,
                      const std::string& strCurrToCode) const;
  std::string FormatPrice(double dblConvertedPrice, const std::string& strCurrCode,
                          int32_t lngLangId) const;
  // The amount in every requested currency: "first (second, third)".
  std::string FormatAllPrices(double dblPrice, const std::string& strCurrCode,
                              int32_t lngLangId) const;
  std::string ConvertAndFormatPrice(double dblBasePrice, const std::string& strCurrFromCode,
                                    const std::string& strCurrToCode, int32_t lngLangId) const;
  bool IsPricingField(int32_t lSchemaId) const;
  std::string GetPrimaryCurrencyCode() const;
  // strValue: an optional minus, digits, a point before any decimals. -1 digits returns
  // the text unchanged.
  std::string FormatNumber(const std::string& strValue, int32_t lngDecimalDigits,
                           int32_t lngLanguageId) const;

  const std::vector<CurrencyInfo>& Currencies() const { return m_aCurrencies; }

  // Today's conventions (ICU's formatting for the language, the table's symbol and
  // decimals) instead of the Windows XP texts; off unless set (Search::TodaysConventions).
  bool TodaysConventions() const { return m_bTodaysConventions; }
  void TodaysConventions(bool bData) { m_bTodaysConventions = bData; }

 private:
  void GetCurrencyInfo(const std::string& strDbConn, const std::string& strPrjDbName);
  double GetConversionRate(const std::string& strCurrCode) const;
  std::string FormatCurrencyToLocale(int32_t lLCID, const std::string& strCurrCode,
                                     const std::string& strValue) const;

  std::string m_strCurrencyIdList;
  std::vector<std::string> m_astrCurrencyIds;
  std::vector<CurrencyInfo> m_aCurrencies;
  bool m_bTodaysConventions = false;
};

}  // namespace mirel_SbF
