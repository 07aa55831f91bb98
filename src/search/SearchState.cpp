// The saved-state text: six "~"-separated fields per selection, in the order of adding.
//   range  "1~<schema>~<location>~<schema value>~<min>~<max>"
//   value  "2~<schema>~<location>~<schema value>~<value>~"   (empty sixth field)
// Either-or criteria come first, one six-field group each:
//   mark   "either-or~<schema>~<location>~~~"
// A library that knows no such group reads its first field as a control type and stops
// with a type mismatch before restoring anything, rather than misreading the choices.
#include <vector>

#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "common/modMisc.h"
#include "search/SearchImpl.h"

namespace mirel_SbF {
namespace {
constexpr const char* kEitherOrMark = "either-or";
}  // namespace

std::string BuildState(Search::State& state) {
  state.m_strCurrentState.clear();
  for (const Criterion& marked : state.m_colEitherOr) {
    if (!state.m_strCurrentState.empty()) state.m_strCurrentState += "~";
    state.m_strCurrentState += std::string(kEitherOrMark) + "~" + marked.schema + "~" + marked.location + "~~~";
  }
  for (const auto& selection : SelectionsOf(state).Items()) {
    std::string entry = std::to_string(selection->ControlType()) + "~";
    if (selection->IsControl_Value()) {
      entry += selection->SchemaId() + "~" + selection->SchemaLocation() + "~" +
               selection->SchemaValue() + "~" + selection->ValueSelected() + "~";
    } else if (selection->IsControl_MinMax()) {
      entry += selection->SchemaId() + "~" + selection->SchemaLocation() + "~" +
               selection->SchemaValue() + "~" + selection->MinValue() + "~" +
               selection->MaxValue();
    } else {
      Raise(kErrObject, "Missing eControlType");
    }
    if (!state.m_strCurrentState.empty()) {
      state.m_strCurrentState += "~" + entry;
    } else {
      state.m_strCurrentState = entry;
    }
  }
  return state.m_strCurrentState;
}

void ParseState(Search::State& state, const std::string& strState) {
  WithHandler("ParseState", [&] {
    // The old selections go first, whatever the text holds.
    state.m_colSelections = std::make_shared<Collection<SbFUserSelection>>();
    state.m_colEitherOr.clear();
    if (strState.empty()) return;
    const std::vector<std::string> fields = SplitText(strState, '~');
    const int32_t last = static_cast<int32_t>(fields.size()) - 1;
    // The field index is 16-bit, as in the original: at most 5,461 selections.
    constexpr int32_t kMaxIndex = 32767;
    for (int32_t i = 0; i <= last; i += 6) {
      if (i + 5 > kMaxIndex) Raise(RuntimeError::Overflow);
      if (i + 5 > last) Raise(RuntimeError::SubscriptOutOfRange);
      if (fields[static_cast<size_t>(i)] == kEitherOrMark) {
        const std::string& schema = fields[static_cast<size_t>(i + 1)];
        const std::string& location = fields[static_cast<size_t>(i + 2)];
        RequireWholeNumber("Schema ID", schema);
        RequireWholeNumber("Schema location", location);
        if (!IsEitherOr(state, Criterion{schema, location})) state.m_colEitherOr.push_back(Criterion{schema, location});
        continue;
      }
      const int16_t controlType = CInt(Variant(fields[static_cast<size_t>(i)]));
      auto selection = CreateSbFUserSelectionObject(
          controlType, fields[static_cast<size_t>(i + 1)], fields[static_cast<size_t>(i + 2)],
          fields[static_cast<size_t>(i + 3)], fields[static_cast<size_t>(i + 4)],
          fields[static_cast<size_t>(i + 5)], "");
      if (selection->IsControl_Value()) {
        selection->ValueSelected(selection->MinValue());
        selection->MinValue("!!");
        selection->MaxValue("!!");
      }
      state.m_colSelections->Add(selection);
    }
  });
}

}  // namespace mirel_SbF
