// SbFUserSelection: one choice of the user, a picked value or a numeric range. It only
// stores; "!!" in MinValue or MaxValue marks a missing bound.
#pragma once

#include <cstdint>
#include <string>

namespace mirel_SbF {

enum eControlType : int32_t { ctMinMax = 1, ctValue = 2 };

class SbFUserSelection {
 public:
  std::string ValueSelected() const { return m_strValueSelected; }
  void ValueSelected(std::string vData) { m_strValueSelected = std::move(vData); }
  std::string MaxValue() const { return m_strMaxValue; }
  void MaxValue(std::string vData) { m_strMaxValue = std::move(vData); }
  std::string MinValue() const { return m_strMinValue; }
  void MinValue(std::string vData) { m_strMinValue = std::move(vData); }

  void SetType_MinMax() { m_lControlType = ctMinMax; }
  void SetType_Value() { m_lControlType = ctValue; }
  // 1 makes a range, any other value a picked value.
  void SetControlType(int16_t vData) { m_lControlType = vData == 1 ? ctMinMax : ctValue; }
  int16_t ControlType() const { return static_cast<int16_t>(m_lControlType); }
  bool IsControl_MinMax() const { return m_lControlType == ctMinMax; }
  bool IsControl_Value() const { return m_lControlType == ctValue; }

  std::string SchemaValue() const { return m_strSchemaValue; }
  void SchemaValue(std::string vData) { m_strSchemaValue = std::move(vData); }
  std::string SchemaLocation() const { return m_strSchemaLocation; }
  void SchemaLocation(std::string vData) { m_strSchemaLocation = std::move(vData); }
  std::string SchemaId() const { return m_strSchemaId; }
  void SchemaId(std::string vData) { m_strSchemaId = std::move(vData); }

 private:
  std::string m_strSchemaId;
  std::string m_strSchemaLocation;
  std::string m_strSchemaValue;
  int32_t m_lControlType = 0;
  std::string m_strMinValue;
  std::string m_strMaxValue;
  std::string m_strValueSelected;
};

}  // namespace mirel_SbF
