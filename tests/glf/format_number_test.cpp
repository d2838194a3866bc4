#include "glf/format_number.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "glf/glf_writer.h"

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

TEST(FormatNumber, DigitGroupsAndZerosInsideTheNumber) {
  const Case cases[] = {
      {9, "########", "9"},
      {10, "########", "10"},
      {99, "########", "99"},
      {100, "########", "100"},
      {101, "########", "101"},
      {1009, "########", "1009"},
      {-32767.4, "########", "-32767"},
      {123456789012345, "########", "123456789012345"},
      {100000000000000, "########", "100000000000000"},
      {0.05, "##0.0####", "0.05"},
      {0.00105, "##0.0####", "0.00105"},
      {10.0001, "##0.0####", "10.0001"},
      {100.1, "###.0####", "100.1"},
      {-0.4, "########", ""},
      {-0.00000049, "###.0####", ".0"},
      {7.05, "0.000", "7.050"},
      {1000.0005, "0.000", "1000.001"},
      {5, "000", "005"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatNumber(c.value, c.pattern), c.text) << c.value << " with " << c.pattern;
}

TEST(FormatNumber, EveryWidthOfWholeNumber) {
  // Both sides of each power of ten and of each power of two, where the
  // digit count changes or its estimate from the bit width does.
  std::vector<uint64_t> values;
  for (uint64_t p = 1; p < 1000000000000000; p *= 10)
    values.insert(values.end(), {p - 1, p, p + 1});
  for (int bits = 1; bits < 50; ++bits) {
    const uint64_t p = uint64_t{1} << bits;
    values.insert(values.end(), {p - 1, p, p + 1});
  }
  for (uint64_t v : values) {
    EXPECT_EQ(FormatNumber(static_cast<double>(v), "########"), v ? std::to_string(v) : "");
    // With a fraction, as long as the whole text is within 15 digits.
    if (v < 1000000000000) {
      EXPECT_EQ(FormatNumber(-static_cast<double>(v) - 0.25, "###.0####"),
                "-" + (v ? std::to_string(v) : "") + ".25");
    }
  }
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

TEST(FormatNumber, QuickRoundGivesTheDigitsOfTheText) {
  // Where the quick rounding answers, its integer read with the point before
  // the last three digits is the value the "0.000" text reads back as.
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> spread(-70000, 70000);
  int answered = 0;
  for (int n = 0; n < 100000; ++n) {
    const double v = n % 3 == 0 ? std::round(spread(rng) * 2000) / 2000 : spread(rng) / (n % 7 + 1);
    uint64_t milli = 0;
    if (!QuickRound(v, 3, milli)) continue;
    ++answered;
    const std::string text = FormatNumber(v, "0.000");
    double read = 0;
    std::from_chars(text.data(), text.data() + text.size(), read);
    const double magnitude = static_cast<double>(milli) / 1000;
    ASSERT_EQ(v < 0 && milli != 0 ? -magnitude : magnitude, read) << text;
  }
  EXPECT_GT(answered, 60000);  // not the halves among the thirds on 0.0005 steps
  uint64_t rounded = 0;
  EXPECT_FALSE(QuickRound(2.5, 0, rounded));  // a half: left to the decimal route
  EXPECT_FALSE(QuickRound(1e300, 3, rounded));
  EXPECT_TRUE(QuickRound(-2.4, 0, rounded));
  EXPECT_EQ(rounded, 2u);
}

TEST(FormatNumber, WrittenIntoTheWriterAsFormatted) {
  // The quick path, the 15-digit route (a half, a huge value) and not-finite.
  const NumberPattern whole("########"), degrees("###.0####");
  const double values[] = {0,
                           -0.4,
                           8399.5,
                           2.5,
                           -32767.25,
                           1e300,
                           -1e20,
                           0.1 + 0.2,
                           1.0000049999999999,
                           std::nan(""),
                           -HUGE_VAL};
  for (double v : values) {
    for (const NumberPattern* pattern : {&whole, &degrees}) {
      GlfWriter out;
      out.Write("AA");
      WriteNumber(out, v, *pattern);
      EXPECT_EQ(out.Bytes(), "AA" + FormatNumber(v, *pattern)) << v;
    }
  }
}

}  // namespace
}  // namespace tovrin
