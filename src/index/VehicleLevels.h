// VehicleLevels: reads the nested vehicle sub-queries out of the library's T-SQL texts, so
// that an engine can evaluate each level on its own instead of being handed one statement
// nested as deep as the user has made choices.
//
// Every text that restricts vehicles holds them as
//   <alias>.vehicle_id in (select distinct vehicle_id from equipment where <own conditions>
//                          [AND vehicle_id in (<the next level>)] )
// one level per host filter and per choice. A level's vehicles are those of its own
// conditions that are also in the level below, so the whole nest is an intersection of
// small, independent sets; each set is worth keeping for the next query (the host's filters
// are the same for every user, and each choice is reused by the three or four queries of
// one screen and by the next click).
//
// This file only reads text (tokens of sql/Lexer.h): it knows nothing of engines. Texts it
// cannot read (an unterminated literal) or levels whose conditions do not split cleanly at AND (an OR at the
// top of a level) are reported so that the caller evaluates them as written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sql/Lexer.h"

namespace mirel_platform {

// A level sub-query: the "(" and ")" around "select distinct vehicle_id from equipment
// where …", given as token indexes.
struct LevelRange {
  size_t open;
  size_t close;
};

// How one level splits.
struct LevelShape {
  // The own conditions, tokens [ownBegin, ownEnd); empty when the level only nests.
  size_t ownBegin = 0;
  size_t ownEnd = 0;
  // The next level when the conditions are "<own> AND vehicle_id in (<level>)" and split
  // cleanly at AND; the level is then own ∩ next.
  std::optional<LevelRange> next;
};

// Whether the "(" at token `open` starts a level sub-query ("in (select distinct
// vehicle_id from equipment where").
bool IsLevelOpen(const SqlTokens& t, size_t open);

// The shape of the level at `range`.
LevelShape ShapeOfLevel(const SqlTokens& t, LevelRange range);

// The level sub-queries of tokens [begin, end) that no other level of that range holds.
std::vector<LevelRange> OutermostLevels(const SqlTokens& t, size_t begin, size_t end);

}  // namespace mirel_platform
