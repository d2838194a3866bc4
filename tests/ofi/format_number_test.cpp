#include "ofi/format_number.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

struct Case {
  double value;
  const char* pattern;
  const char* text;
};

TEST(FormatNumber, PatternsInUse) {
  const Case cases[] = {
      {2.5, "##", "3"},
      {-2.5, "##", "-3"},
      {2, "##", "2"},
      {0, "##", ""},
      {0, "########", ""},
      {8400, "########", "8400"},
      {8399.5, "########", "8400"},
      {0.5, "###.0####", ".5"},
      {-90, "###.0####", "-90.0"},
      {0, "###.0####", ".0"},
      {180, "###.0####", "180.0"},
      {2.125, "##0.0####", "2.125"},
      {2, "##0.0####", "2.0"},
      {12, "##0.0####", "12.0"},
      {0, "##0.0####", "0.0"},
      {1.234567, "##0.0####", "1.23457"},
      {0.000004, "##0.0####", "0.0"},
      {-0.000004, "##0.0####", "0.0"},
      {0.000005, "##0.0####", "0.00001"},
      {12.5, "00000000.000", "00000012.500"},
      {-0.25, "00000000.000", "-00000000.250"},
      {0.1234567891, "000.00000000", "000.12345679"},
      {1.5, "#0.0##", "1.5"},
      {0.0625, "#0.0##", "0.063"},
      {3, "#0.0####", "3.0"},
      {1234567.125, "######0.0####", "1234567.125"},
      {0.3, "#####0.0####", "0.3"},
      {254.5, "##0", "255"},
      {0, "##0", "0"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatNumber(c.value, c.pattern), c.text) << c.value << " with " << c.pattern;
}

TEST(FormatNumber, RoundsAtFifteenDigitsFirst) {
  // 0.1 + 0.2 is 0.30000000000000004: at 15 digits it is 0.3.
  EXPECT_EQ(FormatNumber(0.1 + 0.2, "##0.0####"), "0.3");
  // 1.0000049999999999 reads 1.00000500000000 at 15 digits and rounds up.
  EXPECT_EQ(FormatNumber(1.0000049999999999, "##0.0####"), "1.00001");
  // A carry runs through every digit.
  EXPECT_EQ(FormatNumber(9.999996, "##0.0####"), "10.0");
  EXPECT_EQ(FormatNumber(99.5, "##"), "100");
}

}  // namespace
}  // namespace tovrin
