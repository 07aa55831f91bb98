// Info: one selectable value of a criteria row. A plain container: nothing is checked,
// trimmed or converted.
#pragma once

#include <string>

namespace mirel_SbF {

class Info {
 public:
  std::string FullText() const { return m_strFullText; }
  void FullText(const std::string& vData) { m_strFullText = vData; }
  std::string DataValue() const { return m_strDataValue; }
  void DataValue(const std::string& vData) { m_strDataValue = vData; }
  bool IsSelected() const { return m_bIsSelected; }
  void IsSelected(bool vData) { m_bIsSelected = vData; }

 private:
  std::string m_strFullText;
  std::string m_strDataValue;
  bool m_bIsSelected = false;
};

}  // namespace mirel_SbF
