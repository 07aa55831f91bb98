// QueryShapes: the parts of the library's queries that the index layer recognises, defined
// once. The composer (criteria/, matching/) writes them into its texts and the recogniser
// (index/) compares a text with them, so that a change to one of them changes both; the
// texts as composed are pinned by tests/golden/sql, and which of them the recogniser takes
// by tests/index.
//
// Each is written one fragment a line, as the composer writes its texts.
#pragma once

#include <string_view>

namespace mirel_platform::shapes {

// The coded-value list: its select list, up to "from equipment eq0 ".
inline constexpr std::string_view kCodedValues =
    "select distinct eq0.schema_id, '      '+eq0.data_value as data_value, COALESCE(st.full_text,eq0.data_value) as full_text, "
    "sbf.criterion_schema_id, sbf.criterion_value, sbf.criterion_location, "
    "sbf.row_id , sbf.order_id, sbf.Category, sbf.multi_select_style ";

// The range rows: the smallest and largest value per criterion.
inline constexpr std::string_view kRanges =
    "select distinct min(cast(eq0.data_value as float)) as \"Minimum\", max(cast(eq0.data_value as float))  as \"Maximum\", "
    "sbf.criterion_schema_id, sbf.criterion_value, sbf.criterion_location, "
    "cast(sbf.row_id as float) as \"Row_Id\", cast(sbf.order_id as float) as \"Order_Id\", sbf.Category, sbf.multi_select_style, sbf.criterion_increment, sbf.criterion_format ";

// The numeric lists.
inline constexpr std::string_view kNumericValues =
    "select distinct CAST(eq0.data_value as float) as fdata_value, sbf.criterion_schema_id, sbf.criterion_value, "
    "sbf.criterion_location, sbf.row_id, sbf.order_id, "
    "sbf.Category, sbf.multi_select_style, "
    "sbf.criterion_format ";

// The counting queries: vehicles per value of the coded rows and per number of the numeric
// lists.
inline constexpr std::string_view kCodedCounts =
    "select eq0.schema_id, eq0.location, eq0.data_value, count(distinct eq0.vehicle_id) as vehicle_count ";
inline constexpr std::string_view kNumericCounts =
    "select eq0.schema_id, eq0.location, cast(eq0.data_value as float) as fdata_value, count(distinct eq0.vehicle_id) as vehicle_count ";

// The counting query of a range row's ladder, up to its first "when".
inline constexpr std::string_view kSteps =
    "select steps.step, count(distinct steps.vehicle_id) as vehicle_count "
    "from (select case ";

// The matching vehicles, and the join that brings their sort columns.
inline constexpr std::string_view kVehicles = "select distinct eq.vehicle_id ";
inline constexpr std::string_view kVersionJoin = "inner join version v on (v.vehicle_id = eq.vehicle_id) ";

// One nested level of vehicles: a host filter or a choice.
inline constexpr std::string_view kLevel = "select distinct vehicle_id from equipment where ";

}  // namespace mirel_platform::shapes
