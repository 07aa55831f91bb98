// The pieces the criteria lists are built from: the row titles of a category (loaded
// once, then looked up forward only) and the factories of rows and values.
#pragma once

#include <memory>
#include <string>

#include "search/SearchImpl.h"

namespace mirel_SbF {

// Loads the titles of every criterion row of `strSectionName` (all sections when empty)
// in the user's language into m_rsTitleText, ascending by row id.
void InitSbFTitleText(Search::State& state, const std::string& strSectionName);

// The title of `lRowId`, capitalised for the language. Look-ups move forward only, so
// row ids must come in ascending order after each load; a row id not found raises
// "Unable to locate matching row_id".
std::string GetTitleText(Search::State& state, int32_t lRowId);

// A row from the current record of a criteria query; the record set is not moved.
std::shared_ptr<Results> CreateResultsObject(Search::State& state, const Recordset& rs,
                                             bool bMinMax);
std::shared_ptr<Info> CreateInfoObject(const std::string& strDataValue,
                                       const std::string& strFullText, bool bIsSelected);
// Whether one of the user's selections picks `value` of `row`.
bool IsInfoObjectSelected(const Search::State& state, const Results& row, const Info& value);

}  // namespace mirel_SbF
