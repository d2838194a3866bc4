#include <gtest/gtest.h>

#include "geometry/encode_points.h"
#include "ofi_builder.h"
#include "translate.h"

namespace tovrin {
namespace {

using test::OfiBuilder;
using test::Translate;

PlotSettings Settings() { return PlotSettings::Defaults("/tmp"); }

TEST(ReaderCycle, EndMarkerAloneGivesPreambleAndTrailer) {
  auto t = Translate(Settings(), OfiBuilder().End());
  EXPECT_EQ(t.glf, "\x1b%-1BBPINPUSP0\033E");
  EXPECT_EQ(t.result.end, DrawingEnd::Finished);
}

TEST(ReaderCycle, MarkerDoesNotConsumeTheCommandAfterIt) {
  // ESC '@' then ESC '!' V: the V runs, so the trailer asks for 3 copies.
  OfiBuilder b;
  b.Word(OfiBuilder::kEscAt).Copies(3).End();
  auto t = Translate(Settings(), b);
  EXPECT_EQ(t.glf, "\x1b%-1BBPINPUSP0PGRP2;\033E");
}

TEST(ReaderCycle, StrayEndWordAndUnknownWordsAreSkipped) {
  OfiBuilder b;
  b.Words({0x0045, 0x1234, 0xFFFF}).Sheet(0x0199, {0x0156}).Copies(2).End();
  auto t = Translate(Settings(), b);
  EXPECT_EQ(t.glf, "\x1b%-1BBPINPUSP0PGRP1;\033E");
}

TEST(ReaderCycle, UnknownCommandParametersAreReadAsTopLevelWords) {
  // An unknown ESC '$' command whose "parameters" hold an ESC '!' V.
  OfiBuilder b;
  b.Draw(0x0299, {OfiBuilder::kEscBang, 0x0156, 4}).End();
  auto t = Translate(Settings(), b);
  EXPECT_EQ(t.glf, "\x1b%-1BBPINPUSP0PGRP3;\033E");
}

TEST(ReaderCycle, CopyCountRules) {
  JobContext job(MakeSnapshot(Settings()));
  EXPECT_EQ(Translate(job, OfiBuilder().End()).glf.substr(9), "PUSP0\033E");
  EXPECT_EQ(Translate(job, OfiBuilder().Copies(1).End()).glf.substr(9), "PUSP0\033E");
  EXPECT_EQ(Translate(job, OfiBuilder().Copies(3).End()).glf.substr(9), "PUSP0PGRP2;\033E");
  // The count carries over to the next drawing of the job.
  EXPECT_EQ(Translate(job, OfiBuilder().End()).glf.substr(9), "PUSP0PGRP2;\033E");
  EXPECT_EQ(Translate(job, OfiBuilder().Copies(0).End()).glf.substr(9), "PUSP0PGRP-1;\033E");
}

TEST(ReaderCycle, EndOfFileBeforeTheEndMarkerLeavesTheDrawingIncomplete) {
  // No end marker at all: the trailer is still written, the drawing is incomplete.
  auto t = Translate(Settings(), OfiBuilder().Copies(2));
  EXPECT_EQ(t.glf, "\x1b%-1BBPINPUSP0PGRP1;\033E");
  EXPECT_EQ(t.result.end, DrawingEnd::Incomplete);
  // A prefix, or ESC '@', as the very last word.
  EXPECT_EQ(Translate(Settings(), OfiBuilder().Word(OfiBuilder::kEscDollar)).result.end,
            DrawingEnd::Incomplete);
  EXPECT_EQ(Translate(Settings(), OfiBuilder().Word(OfiBuilder::kEscAt)).result.end,
            DrawingEnd::Incomplete);
  // A command whose parameter is missing does not run: no copy count.
  t = Translate(Settings(), OfiBuilder().Word(OfiBuilder::kEscBang).Word(0x0156));
  EXPECT_EQ(t.glf, "\x1b%-1BBPINPUSP0\033E");
  EXPECT_EQ(t.result.end, DrawingEnd::Incomplete);
  // An empty file, and a text file named like a drawing.
  EXPECT_EQ(Translate(Settings(), OfiBuilder()).result.end, DrawingEnd::Incomplete);
  OfiBuilder text;
  for (char c : std::string("hello, this is not a drawing\n")) text.Word(static_cast<uint8_t>(c));
  EXPECT_EQ(Translate(Settings(), text).result.end, DrawingEnd::Incomplete);
  // An odd trailing byte is not a word.
  auto bytes = OfiBuilder().Copies(2).Bytes();
  bytes.push_back(0x1B);
  JobContext job(MakeSnapshot(Settings()));
  GlfWriter out;
  EXPECT_EQ(TranslateDrawing(job, bytes, out, [] { return true; }).end, DrawingEnd::Incomplete);
  EXPECT_EQ(out.Bytes(), "\x1b%-1BBPINPUSP0PGRP1;\033E");
  // The same drawing with its end marker is finished.
  EXPECT_EQ(Translate(Settings(), OfiBuilder().Copies(2).End()).result.end, DrawingEnd::Finished);
}

TEST(ReaderCycle, IncompleteCommandWritesNothingNotEvenItsPen) {
  OfiBuilder b;
  b.LineClass(0x12).Word(OfiBuilder::kEscDollar).Word(0x0153);  // S/1 without its word
  auto t = Translate(Settings(), b);
  EXPECT_EQ(t.glf, "\x1b%-1BBPINPUSP0\033E");
}

TEST(ReaderCycle, AbortStopsBeforeTheNextWordAndStillWritesTheTrailer) {
  JobContext job(MakeSnapshot(Settings()));
  GlfWriter out;
  auto bytes = OfiBuilder().Copies(2).Copies(5).End().Bytes();
  int asked = 0;
  // Asked before every word: allow the first top-level word only.
  DrawingResult r = TranslateDrawing(job, bytes, out, [&] { return ++asked <= 1; }, {.words = 1});
  EXPECT_EQ(r.end, DrawingEnd::Aborted);
  EXPECT_EQ(out.Bytes(), "\x1b%-1BBPINPUSP0PGRP1;\033E");
}

size_t Count(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Lines of six words each after a sheet set-up, then the end marker.
std::vector<uint8_t> ManyLines(int lines) {
  OfiBuilder b;
  b.Scale(10).DashUnit(100).SheetRecord(29700, 21000, 29700, 21000).LineClass(2);
  for (int i = 0; i < lines; ++i) b.Line(i % 997, i % 991, 2000 + i % 983, 3000);
  return b.End().Bytes();
}

TEST(ReaderCycle, AsksAgainWithinTheWordStride) {
  const auto bytes = ManyLines(5000);
  JobContext job(MakeSnapshot(Settings()));
  GlfWriter out;
  std::vector<size_t> asked_at;
  DrawingResult r = TranslateDrawing(job, bytes, out,
                                     [&] {
                                       asked_at.push_back(out.Bytes().size());
                                       return asked_at.size() < 2;
                                     },
                                     {.words = 600, .glf_bytes = uint64_t{1} << 40});
  EXPECT_EQ(r.end, DrawingEnd::Aborted);
  ASSERT_EQ(asked_at.size(), 2u);
  // The sheet's words and 100 lines make 600 words: the abort comes after
  // about 100 of the 5000 lines, and the trailer is still written.
  const size_t drawn = Count(out.Bytes(), "PE<=");
  EXPECT_GE(drawn, 95u);
  EXPECT_LE(drawn, 101u);
  EXPECT_TRUE(out.Bytes().ends_with("PUSP0\033E"));
}

TEST(ReaderCycle, AsksAgainOnceTheGlfGrowsByTheByteStride) {
  const auto bytes = ManyLines(5000);
  JobContext job(MakeSnapshot(Settings()));
  GlfWriter out;
  std::vector<size_t> asked_at;
  DrawingResult r = TranslateDrawing(job, bytes, out,
                                     [&] {
                                       asked_at.push_back(out.Bytes().size());
                                       return true;
                                     },
                                     {.words = size_t{1} << 40, .glf_bytes = 2000});
  EXPECT_EQ(r.end, DrawingEnd::Finished);
  ASSERT_GT(asked_at.size(), 10u);
  // Each ask comes with the first word after 2000 more bytes: never later
  // than one line's output past that.
  for (size_t i = 1; i < asked_at.size(); ++i) {
    EXPECT_GE(asked_at[i] - asked_at[i - 1], 2000u);
    EXPECT_LT(asked_at[i] - asked_at[i - 1], 2100u);
  }
}

TEST(ReaderCycle, DefaultStrideStillAsksBeforeTheFirstWord) {
  JobContext job(MakeSnapshot(Settings()));
  GlfWriter out;
  auto bytes = OfiBuilder().Copies(2).End().Bytes();
  DrawingResult r = TranslateDrawing(job, bytes, out, [] { return false; });
  EXPECT_EQ(r.end, DrawingEnd::Aborted);
  EXPECT_EQ(out.Bytes(), "\x1b%-1BBPINPUSP0\033E");
}

TEST(ReaderCycle, SheetLinesHaveNoLineBreaks) {
  OfiBuilder b;
  b.Scale(10).DashUnit(100).SheetRecord(29700, 21000, 29700, 21000).LineClass(2);
  for (int i = 0; i < 200; ++i) b.Line(i * 37, i * 11, i * 53 + 5, i * 7 + 900);
  b.End();
  auto t = Translate(Settings(), b);
  EXPECT_EQ(t.glf.find('\r'), std::string::npos);
  EXPECT_EQ(t.glf.find('\n'), std::string::npos);
}

TEST(EncodePoints, DigitsAreRawBytesInTheGlf) {
  GlfWriter out;
  EncodePoints(out, {0, -1, 100, -100, 5000, 17});
  EXPECT_EQ(out.Bytes(), std::string("\xBF\xC2G\xC2H\xC2O[\xC1\xE1"));
}

}  // namespace
}  // namespace tovrin
