#include "geometry/polyline_moves.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "geometry/plot_math.h"

namespace tovrin {
namespace {

// floor(value) for a value FloorFits takes, without a branch: the step down
// from the nearest integer comes with every other negative move, which no
// branch predictor follows, and the running position waits for it. Adding
// and taking away 1.5 * 2^52 rounds to the nearest integer exactly (every
// double from 2^52 to 2^53 is an integer); the step is then a compare mask.
inline double FloorWithoutBranch(double value) {
  constexpr double kRounder = 6755399441055744.0;  // 1.5 * 2^52
  const double nearest = (value + kRounder) - kRounder;
#if defined(__SSE2__)
  const __m128d n = _mm_set_sd(nearest);
  const __m128d step = _mm_and_pd(_mm_cmpgt_sd(n, _mm_set_sd(value)), _mm_set_sd(1.0));
  return _mm_cvtsd_f64(_mm_sub_sd(n, step));
#else
  return nearest > value ? nearest - 1 : nearest;
#endif
}

// kRoundInstruction: floor with the processor's own rounding instruction,
// for a caller built for it; it is the same floor, in fewer steps of the
// running position's chain.
template <bool kRoundInstruction>
[[gnu::always_inline]] inline MovesWritten Moves(const uint8_t* word, size_t count, double scale,
                                                 RunningPosition& at, int64_t* v) {
  double px = at.x, py = at.y;
  MovesWritten done;
  for (size_t i = 0; i < count; ++i, word += 4) {
    const double qx = static_cast<uint16_t>(word[0] | word[1] << 8);
    const double qy = static_cast<uint16_t>(word[2] | word[3] << 8);
    const double vx = qy * scale / 25 - px;
    const double vy = qx * scale / 25 - py;
    if (!FloorFits(vx) || !FloorFits(vy)) {
      done.stopped = true;
      done.vx = vx;
      done.vy = vy;
      break;
    }
    double floor_x, floor_y;
    if constexpr (kRoundInstruction) {
      floor_x = __builtin_floor(vx);
      floor_y = __builtin_floor(vy);
    } else {
      floor_x = FloorWithoutBranch(vx);
      floor_y = FloorWithoutBranch(vy);
    }
    *v++ = static_cast<int64_t>(floor_x);
    *v++ = static_cast<int64_t>(floor_y);
    px += floor_x;
    py += floor_y;
  }
  at = {px, py};
  done.end = v;
  return done;
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("sse4.1")]] MovesWritten MovesWithRound(const uint8_t* words, size_t count,
                                                      double scale, RunningPosition& at,
                                                      int64_t* into) {
  return Moves<true>(words, count, scale, at, into);
}
bool HasRoundInstruction() {
  static const bool has = __builtin_cpu_supports("sse4.1");
  return has;
}
#endif

}  // namespace

MovesWritten WriteMoves(const uint8_t* words, size_t count, double scale, RunningPosition& at,
                        int64_t* into, FloorWith floor) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (floor == FloorWith::Fastest && HasRoundInstruction())
    return MovesWithRound(words, count, scale, at, into);
#endif
  return Moves<false>(words, count, scale, at, into);
}

}  // namespace tovrin
