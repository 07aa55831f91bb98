// Info: one selectable value of a criteria row. A plain container: nothing is checked,
// trimmed or converted.
#pragma once

#include <cstdint>
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
  // How many matching vehicles this value leads to, when the search counts
  // (Search::CountVehicles): for a value of a list row the vehicles that carry it, for a
  // step of a range row the vehicles with a value from this step up to the next step (the
  // last step: from its value up). -1 when not counted.
  int32_t VehicleCount() const { return m_lVehicleCount; }
  void VehicleCount(int32_t vData) { m_lVehicleCount = vData; }

 private:
  std::string m_strFullText;
  std::string m_strDataValue;
  bool m_bIsSelected = false;
  int32_t m_lVehicleCount = -1;
};

}  // namespace mirel_SbF
