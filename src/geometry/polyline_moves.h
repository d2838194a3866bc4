// The relative moves of a polyline's points: the hot loop of a drawing of
// strokes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovrin {

// The pen's position in plotter units, not floored.
struct RunningPosition {
  double x = 0, y = 0;
};

struct MovesWritten {
  int64_t* end = nullptr;  // after the last move written
  bool stopped = false;    // a move did not fit FloorFits: (vx, vy) is it
  double vx = 0, vy = 0;
};

// How the moves are floored: with the processor's rounding instruction when
// it has one, or by arithmetic alone. Both give the same moves.
enum class FloorWith { Fastest, Arithmetic };

// For each of `count` points at `words` (little-endian X and Y words): the
// move from the running position to the point's plotter position
// (Y * scale / 25, X * scale / 25), floored, into `into` as x then y; the
// position advances by the move, so rounding never accumulates. Stops
// before a move that does not fit.
MovesWritten WriteMoves(const uint8_t* words, size_t count, double scale, RunningPosition& at,
                        int64_t* into, FloorWith floor = FloorWith::Fastest);

}  // namespace tovrin
