// The record set hosts read: names and the field count past the last row, values only on
// a current record, nothing after Close.
#include "mirel_SbF/Recordset.h"

#include <gtest/gtest.h>

#include "mirel_SbF/Error.h"
#include "support/Raises.h"

namespace mirel_SbF {
namespace {

using mirel_test::RaisesHolding;

constexpr int32_t kNoCurrentRecord = static_cast<int32_t>(0x800A0BCD);
constexpr int32_t kItemNotFound = static_cast<int32_t>(0x800A0CC1);
constexpr int32_t kClosed = static_cast<int32_t>(0x800A0E78);
const char* const kSource = "mirel_base.Recordset";

TEST(MemoryRecordset, NamesAndCountAreReadableAtTheEndValuesAreNot) {
  // An empty result and one read to its end look the same to a host.
  MemoryRecordset empty({"vehicle_id", "Name"}, {});
  MemoryRecordset read({"vehicle_id", "Name"}, {{int32_t{7}, "Fiat 128"}});
  EXPECT_EQ(CStr(read.Fields("name").Value()), "Fiat 128");
  EXPECT_TRUE(RaisesHolding([&] { read.Fields("y"); }, kItemNotFound, kSource, "ordinal: y"));
  read.MoveNext();
  for (MemoryRecordset* rs : {&empty, &read}) {
    ASSERT_TRUE(rs->EndOfFile());
    EXPECT_EQ(rs->FieldCount(), 2);
    EXPECT_EQ(rs->Fields("NAME").Name(), "Name");
    EXPECT_TRUE(RaisesHolding([&] { rs->Fields(1).Value(); }, kNoCurrentRecord, kSource, "Either BOF or EOF is True"));
    EXPECT_TRUE(RaisesHolding([&] { rs->MoveNext(); }, kNoCurrentRecord, kSource, ""));
  }
  read.Close();
  EXPECT_TRUE(RaisesHolding([&] { read.EndOfFile(); }, kClosed, kSource, ""));
}

}  // namespace
}  // namespace mirel_SbF
