#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "geometry/geometry_commands.h"
#include "ofi/sheet_commands.h"
#include "text/text_commands.h"
#include "translate/command_table.h"

namespace tovrin {
namespace {

// The command words of the OFI format, written out by hand: prefix, the word
// as read, its letter, and its parameter words (-1: the record says; -2: the
// high byte says, matched by the low byte alone).
struct Listed {
  uint16_t prefix;
  uint16_t word;
  char letter;
  int params;
  CommandHandler handler;
};

// clang-format off
const std::vector<Listed> kListed = {
    {0x211B, 0x0157, 'W', 1, RunScale},         {0x211B, 0x0132, '2', 1, RunPenChoice},
    {0x211B, 0x0452, 'R', 4, RunSheet},         {0x211B, 0x0156, 'V', 1, RunCopies},
    {0x211B, 0x014A, 'J', 1, RunDashUnit},      {0x241B, 0x0154, 'T', 1, RunLineClass},
    {0x241B, 0xFF42, 'B', -1, RunWidePolyline}, {0x241B, 0x0045, 'E', -2, RunWideArc},
    {0x241B, 0x0641, 'A', 6, RunArc},           {0x241B, 0x0444, 'D', 4, RunLine},
    {0x241B, 0xFF44, 'D', -1, RunPolyline},     {0x241B, 0x0153, 'S', 1, RunTextBlock},
    {0x241B, 0x0149, 'I', 1, RunSlant},         {0x241B, 0x014A, 'J', 1, RunDirection},
    {0x241B, 0x0348, 'H', 3, RunSize},          {0x241B, 0x0648, 'H', 6, RunSizePitch},
    {0x241B, 0x004B, 'K', -2, RunByteText},     {0x241B, 0x004C, 'L', -2, RunJisText},
    {0x241B, 0x0152, 'R', 1, RunPatternBlock},  {0x241B, 0xFF50, 'P', -1, RunArea},
    {0x241B, 0x044E, 'N', 4, RunAnnotationLine}, {0x241B, 0x0143, 'C', 1, RunPaletteColour},
};
// clang-format on

TEST(CommandTable, HoldsExactlyTheListedCommandsInOrder) {
  const auto table = CommandTable();
  ASSERT_EQ(table.size(), kListed.size());
  for (size_t i = 0; i < table.size(); ++i) {
    const Command& c = table[i];
    const Listed& l = kListed[i];
    SCOPED_TRACE(testing::Message() << "row " << i << " letter " << l.letter);
    EXPECT_EQ(c.prefix, l.prefix);
    EXPECT_EQ(c.Letter(), l.letter);
    EXPECT_EQ(c.code.by_low_byte, l.params == -2);
    if (l.params != -2) {
      EXPECT_EQ(c.code.word, l.word);
    }
    if (l.params == -1) {
      EXPECT_EQ(c.code.word >> 8, kVariable);
    }
    EXPECT_EQ(c.run, l.handler);
    // Fixed-length commands take their count from the code, the others ask.
    if (l.params >= 0 && c.run != RunSlant) {
      EXPECT_EQ(c.length, nullptr);
    }
    if (l.params < 0) {
      EXPECT_NE(c.length, nullptr);
    }
  }
}

TEST(CommandTable, EachListedWordFindsItsHandler) {
  for (const Listed& l : kListed) {
    const uint16_t word = l.params == -2 ? static_cast<uint16_t>(0x0700 | l.word) : l.word;
    const Command* c = FindCommand(l.prefix, word);
    ASSERT_NE(c, nullptr) << l.letter;
    EXPECT_EQ(c->run, l.handler) << l.letter;
  }
}

TEST(CommandTable, PrefixTellsTheTwoJsApartAndUnknownWordsFindNothing) {
  EXPECT_EQ(FindCommand(kEscBang, 0x014A)->run, RunDashUnit);
  EXPECT_EQ(FindCommand(kEscDollar, 0x014A)->run, RunDirection);
  EXPECT_EQ(FindCommand(kEscBang, 0x0641), nullptr);  // A only after ESC '$'
  EXPECT_EQ(FindCommand(kEscDollar, 0x0157), nullptr);
  EXPECT_EQ(FindCommand(kEscDollar, 0x0241), nullptr);  // A with the wrong count
  EXPECT_EQ(FindCommand(kEscAt, 0x0045), nullptr);      // the end marker is the cycle's
}

TEST(CommandTable, LowByteRowsMatchWhereTheyStand) {
  // E stands before A and D: any E word is a wide arc, whatever its count.
  EXPECT_EQ(FindCommand(kEscDollar, 0xFF45)->run, RunWideArc);
  EXPECT_EQ(FindCommand(kEscDollar, 0x0045)->run, RunWideArc);
  EXPECT_EQ(FindCommand(kEscDollar, 0x124B)->run, RunByteText);
  EXPECT_EQ(FindCommand(kEscDollar, 0x034C)->run, RunJisText);
}

}  // namespace
}  // namespace tovrin
