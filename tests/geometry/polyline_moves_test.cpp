#include "geometry/polyline_moves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace tovrin {
namespace {

// The moves as plainly written: floor of the distance from the running
// position, which then advances by the move.
std::vector<int64_t> PlainMoves(const std::vector<uint16_t>& words, double scale,
                                RunningPosition& at) {
  std::vector<int64_t> moves;
  for (size_t i = 0; i + 1 < words.size(); i += 2) {
    const double fx = std::floor(words[i + 1] * scale / 25 - at.x);
    const double fy = std::floor(words[i] * scale / 25 - at.y);
    moves.push_back(static_cast<int64_t>(fx));
    moves.push_back(static_cast<int64_t>(fy));
    at.x += fx;
    at.y += fy;
  }
  return moves;
}

std::vector<uint8_t> Bytes(const std::vector<uint16_t>& words) {
  std::vector<uint8_t> bytes;
  for (uint16_t w : words) bytes.insert(bytes.end(), {uint8_t(w & 0xFF), uint8_t(w >> 8)});
  return bytes;
}

TEST(PolylineMoves, BothWaysOfFlooringGiveThePlainMoves) {
  // Scales whose positions fall on, just off and between whole plotter
  // units; the words at random and in runs that go back and forth.
  std::mt19937 rng(11);
  const double scales[] = {25, 10, 20, 0.4, 1.0 / 3, 7.3, 12.5, 100, 2.54};
  for (double scale : scales) {
    std::vector<uint16_t> words;
    for (int i = 0; i < 4000; ++i)
      words.push_back(i % 3 == 0 ? static_cast<uint16_t>(rng())
                                 : static_cast<uint16_t>(20000 + (i % 7) * (i % 2 ? 1 : -1)));
    const std::vector<uint8_t> bytes = Bytes(words);
    // As a polyline starts (on its first point, whose fraction the later
    // points share or nearly share), and off it.
    for (const RunningPosition start :
         {RunningPosition{words[1] * scale / 25, words[0] * scale / 25},
          RunningPosition{words[1] * scale / 25 + 0.5, words[0] * scale / 25 - 0.25}}) {
      RunningPosition plain_at = start;
      const std::vector<int64_t> expected = PlainMoves(words, scale, plain_at);
      for (FloorWith floor : {FloorWith::Fastest, FloorWith::Arithmetic}) {
        RunningPosition at = start;
        std::vector<int64_t> moves(words.size());
        const MovesWritten done =
            WriteMoves(bytes.data(), words.size() / 2, scale, at, moves.data(), floor);
        EXPECT_FALSE(done.stopped);
        EXPECT_EQ(done.end, moves.data() + moves.size());
        EXPECT_EQ(moves, expected) << scale;
        EXPECT_EQ(at.x, plain_at.x);
        EXPECT_EQ(at.y, plain_at.y);
      }
    }
  }
}

TEST(PolylineMoves, StopsBeforeAMoveThatDoesNotFit) {
  const std::vector<uint16_t> words = {100, 100, 200, 200, 65535, 300, 400, 400};
  const std::vector<uint8_t> bytes = Bytes(words);
  const double scale = 2e6;  // the third point lies past 2^31 plotter units
  for (FloorWith floor : {FloorWith::Fastest, FloorWith::Arithmetic}) {
    RunningPosition at{100 * scale / 25, 100 * scale / 25};
    std::vector<int64_t> moves(8, -1);
    const MovesWritten done = WriteMoves(bytes.data(), 4, scale, at, moves.data(), floor);
    ASSERT_TRUE(done.stopped);
    EXPECT_EQ(done.end, moves.data() + 4);  // the first two moves only
    EXPECT_EQ(moves, (std::vector<int64_t>{0, 0, 8000000, 8000000, -1, -1, -1, -1}));
    EXPECT_GE(done.vy, 2147483648.0);
  }
}

}  // namespace
}  // namespace tovrin
