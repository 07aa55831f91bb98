// Results: one criteria row of the search screen and its values (Info), in display order.
//
//   for (const auto& value : *row) { ... value->FullText() ... }
//
// Item takes a 1-based position or a key (compared without regard to case). A position
// out of range raises run-time error 9, an unknown key 5, a duplicate key in Add 457.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mirel_SbF/Enumerator.h"
#include "mirel_SbF/Info.h"

namespace mirel_SbF {

class Results {
 public:
  Results();
  ~Results();
  Results(const Results&) = delete;
  Results& operator=(const Results&) = delete;

  int32_t Count() const;
  std::shared_ptr<Info> Item() const;  // raises "Missing Item Index"
  std::shared_ptr<Info> Item(int32_t Index) const;
  std::shared_ptr<Info> Item(const std::string& Index) const;
  std::shared_ptr<Info> Item(const char* Index) const { return Item(std::string(Index)); }
  void Add(std::shared_ptr<Info> oClass, const std::string& Key);
  std::unique_ptr<Enumerator<Info>> NewEnum() const;  // never fails

  int32_t RowId() const { return m_lRowId; }
  void RowId(int32_t lRowId) { m_lRowId = lRowId; }
  int32_t OrderId() const { return m_lOrderId; }
  void OrderId(int32_t lOrderId) { m_lOrderId = lOrderId; }
  std::string Schema() const { return m_strSchema; }
  void Schema(const std::string& strSchema) { m_strSchema = strSchema; }
  std::string SchemaLocation() const { return m_strSchemaLocation; }
  void SchemaLocation(const std::string& strSchemaLocation) { m_strSchemaLocation = strSchemaLocation; }
  std::string SchemaValue() const { return m_strSchemaValue; }
  void SchemaValue(const std::string& strSchemaValue) { m_strSchemaValue = strSchemaValue; }
  std::string Category() const { return m_strCategory; }
  void Category(const std::string& strCategory) { m_strCategory = strCategory; }
  int32_t MultiSelectStyle() const { return m_lMultiSelectStyle; }
  void MultiSelectStyle(int32_t lMultiSelectStyle) { m_lMultiSelectStyle = lMultiSelectStyle; }
  bool IsMinMax() const { return m_lControlType == 2; }
  bool IsListBox() const { return m_lControlType == 1; }
  // "minmax" (exactly) makes a range row; any other text a list-box row.
  void ControlType(const std::string& strType) { m_lControlType = strType == "minmax" ? 2 : 1; }
  std::string TitleText() const { return m_strTitle; }
  void TitleText(const std::string& strTitle) { m_strTitle = strTitle; }
  // True when the row's criterion is marked either-or (Search::EitherOr): its choices widen
  // the search, and its counts leave its own choices out.
  bool IsEitherOr() const { return m_bEitherOr; }
  void IsEitherOr(bool bData) { m_bEitherOr = bData; }

  PositionIterator<Results, Info> begin() const { return {this, 0}; }
  PositionIterator<Results, Info> end() const { return {this, Count()}; }

 private:
  struct Values;
  std::unique_ptr<Values> m_values;
  int32_t m_lRowId = 0;
  int32_t m_lOrderId = 0;
  std::string m_strSchema;
  std::string m_strSchemaLocation;
  std::string m_strSchemaValue;
  std::string m_strCategory;
  int32_t m_lMultiSelectStyle = 0;
  int32_t m_lControlType = 0;  // 0 not set, 1 list box, 2 range
  std::string m_strTitle;
  bool m_bEitherOr = false;
};

}  // namespace mirel_SbF
