// Any bytes at all: the parser must end, stay in its budget and produce a
// display list whose ranges are sound; the renderer must draw it.
#include <gtest/gtest.h>

#include <random>

#include "glf_text.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_render.h"

namespace tovrin::preview {
namespace {

using namespace test;

// A GLF touching every instruction the preview knows.
std::string EveryInstruction() {
  return A4Sheet("90") + "PS60000,23360SD1,11,6,2SSAD1,1643,6,2,7,50SP2SP3LT2,1.6;" +
         MoveTo(100, 200) + "PE" + Encoded({4000, 0, 0, 300}) + ";" +
         "LT;PE<=" + Encoded({3000, 2000}) + ";PDAA2000,2000,180.0" + "PE<=" + Encoded({500, 500}) +
         ";CI300" + "PE<=" + Encoded({0, 0}) + ";PM0PE=" + Encoded({90, 0}) +
         ";PM1PE<=" + Encoded({5, 5}) + ";PE=" + Encoded({50, 5}) + ";PE=" + Encoded({50, 50}) +
         ";PM2FPEPPC2,255,0,0DI0.0,1.0;SL0.268;ES0.0;SSSI0.5,0.7LM0SD1,4,6,2;" + MoveTo(10, 10) +
         "LBA" + kEtx + "SADV0SI0.6,0.8LM1" + MoveTo(10, 400) + "LB\x34\x41" + kNulEtx +
         ";PCDT*;LM0LBxy*PUSP0PGRP2;\033E";
}

void ExpectSound(const PlotPicture& p, const ParseLimits& limits) {
  EXPECT_LE(p.points.size(), limits.max_points);
  EXPECT_LE(p.labels.size(), limits.max_labels);
  for (const Item& item : p.items) {
    ASSERT_LT(item.style, p.styles.size());
    switch (item.kind) {
      case Item::Kind::Polyline: ASSERT_LE(size_t{item.first} + item.count, p.points.size()); break;
      case Item::Kind::Polygon:
        ASSERT_LE(size_t{item.first} + item.count, p.loops.size());
        for (uint32_t l = 0; l < item.count; ++l) {
          const Loop& loop = p.loops[item.first + l];
          ASSERT_LE(size_t{loop.first} + loop.count, p.points.size());
        }
        break;
      case Item::Kind::Label: ASSERT_LT(item.first, p.labels.size()); break;
    }
  }
}

ParseLimits SmallLimits() {
  ParseLimits limits;
  limits.max_points = 20000;
  limits.max_labels = 500;
  limits.max_label_chars = 64;
  return limits;
}

TEST(PreviewFuzz, EveryTruncationOfAFullGlf) {
  const std::string glf = EveryInstruction();
  const PlotPicture whole = ParseGlf(glf);
  EXPECT_EQ(whole.unknown_instructions, 0u);
  EXPECT_EQ(whole.labels.size(), 4u);  // A, 漢, x, y
  for (size_t n = 0; n <= glf.size(); ++n)
    ExpectSound(ParseGlf(glf.substr(0, n), SmallLimits()), SmallLimits());
}

TEST(PreviewFuzz, MutatedAndRandomBytes) {
  std::mt19937 rng(20240607);
  const std::string glf = EveryInstruction();
  // Bytes that mean something somewhere, so the fuzzing reaches deep states.
  const std::string alphabet = std::string("PEAACIPMFPLTLBSDSIDIRPPG<=>:7;,.-0123456789\x1b\x03") +
                               std::string(1, '\0') + "\xbf\xc2\x7e\x3f\xfe";
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  QImage sink;
  for (int round = 0; round < 400; ++round) {
    std::string bytes;
    if (round % 2 == 0) {
      bytes = glf;
      std::uniform_int_distribution<size_t> at(0, bytes.size() - 1);
      for (int k = 0; k < 1 + round % 17; ++k)
        bytes[at(rng)] = static_cast<char>(round % 4 == 0 ? byte(rng) : alphabet[pick(rng)]);
    } else {
      bytes.resize(2048);
      for (char& c : bytes) c = static_cast<char>(round % 3 == 0 ? byte(rng) : alphabet[pick(rng)]);
    }
    const PlotPicture p = ParseGlf(bytes, SmallLimits());
    ExpectSound(p, SmallLimits());
    if (round % 40 == 0) sink = RenderImage(p, QSize(120, 90));
  }
  EXPECT_FALSE(sink.isNull());
}

TEST(PreviewFuzz, RunawayInstructionsEndWithTheInput) {
  // A PE number that never ends, a label without terminator, a PD with an
  // endless list: each is read once, to the end.
  const ParseLimits limits = SmallLimits();
  ExpectSound(ParseGlf("PE" + std::string(200000, 'A'), limits), limits);
  ExpectSound(ParseGlf("LB" + std::string(200000, 'A'), limits), limits);
  // Fraction bits and a pen past any int: taken as the largest there is.
  ExpectSound(ParseGlf("PE>" + Encoded({int64_t{1} << 40}) + ":" + Encoded({-(int64_t{1} << 40)}) +
                           Encoded({10, 10}) + ";",
                       limits),
              limits);
  std::string pd = "SP1PD";
  for (int i = 0; i < 30000; ++i) pd += std::to_string(i % 97) + "," + std::to_string(i % 89) + ",";
  const PlotPicture p = ParseGlf(pd, limits);
  ExpectSound(p, limits);
  EXPECT_TRUE(p.truncated);
}

}  // namespace
}  // namespace tovrin::preview
