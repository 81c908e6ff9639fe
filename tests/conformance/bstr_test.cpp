// BSTR allocation: lengths, embedded zeros, terminators and nulls.
#include <cstring>
#include <string>

#include "platform_accounting.h"

namespace conformance {
namespace {

using OleString = std::basic_string<OLECHAR>;

class BstrTest : public LeakCheckedTest {};

TEST_F(BstrTest, LengthsAreCountedInUnitsAndBytes) {
  struct Case {
    const char* name;
    BSTR (*make)();
    UINT units;
    UINT bytes;
  };
  const Case cases[] = {
      {"SysAllocString", [] { return SysAllocString(OLESTR("hello")); }, 5, 10},
      {"empty", [] { return SysAllocString(OLESTR("")); }, 0, 0},
      {"embedded zero", [] { return SysAllocStringLen(OLESTR("ab\0cd"), 5); }, 5, 10},
      {"prefix of longer text", [] { return SysAllocStringLen(OLESTR("abcdef"), 3); }, 3, 6},
      {"null source", [] { return SysAllocStringLen(nullptr, 4); }, 4, 8},
      {"odd byte count", [] { return SysAllocStringByteLen("abc", 3); }, 1, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BSTR s = c.make();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), c.units);
    EXPECT_EQ(SysStringByteLen(s), c.bytes);
    // The text is followed by a zero unit (bytes, for odd byte counts).
    const auto* raw = reinterpret_cast<const unsigned char*>(s);
    EXPECT_EQ(raw[c.bytes], 0);
    EXPECT_EQ(raw[c.bytes + 1], 0);
    SysFreeString(s);
  }
}

TEST_F(BstrTest, ByteCountIsStoredBeforeTheText) {
  BSTR s = SysAllocString(OLESTR("four"));
  DWORD prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const unsigned char*>(s) - sizeof(DWORD), sizeof prefix);
  EXPECT_EQ(prefix, 8u);
  EXPECT_EQ(OleString(s, SysStringLen(s)), OleString(OLESTR("four")));
  SysFreeString(s);
}

TEST_F(BstrTest, NullIsAnEmptyString) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST_F(BstrTest, ReallocationReplacesTheString) {
  BSTR s = SysAllocString(OLESTR("old"));
  ASSERT_TRUE(SysReAllocString(&s, OLESTR("replacement")));
  EXPECT_EQ(OleString(s, SysStringLen(s)), OleString(OLESTR("replacement")));
  ASSERT_TRUE(SysReAllocStringLen(&s, OLESTR("xyz"), 2));
  EXPECT_EQ(OleString(s, SysStringLen(s)), OleString(OLESTR("xy")));
  SysFreeString(s);
}

}  // namespace
}  // namespace conformance
