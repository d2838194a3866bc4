#include "text/text_commands.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "geometry/plot_math.h"
#include "glf/format_number.h"
#include "ofi/ofi_point.h"
#include "ofi/pending.h"
#include "ofi/translation.h"
#include "text/glyphs.h"

namespace tovrin {
namespace {

constexpr int kMaxSlant = 25000;  // 1/100 degree; larger words are skipped
constexpr NumberPattern kExtraSpace("######0.0####");
constexpr NumberPattern kSlant("#0.0##");
constexpr NumberPattern kDirection("#0.0####");

bool SlantFits(uint16_t word) { return std::abs(static_cast<int16_t>(word)) <= kMaxSlant; }

void SetSize(Translation& tr, int64_t width, int64_t height, double pitch) {
  CarriedText& j = tr.job.carried_text;
  TextState& t = tr.text();
  j.width = width;
  j.height = height;
  j.pitch = pitch;
  if (pitch == t.last_pitch) return;
  t.last_pitch = pitch;
  if (width == 0 || pitch == 0) return;  // no cell to space against
  NumberText e;
  FormatNumber(ExtraSpace(width, pitch), kExtraSpace, e);
  tr.out.Write("ES", e);
  t.pending_es.assign("ES").append(std::string_view(e)).push_back(';');
}

// Start of either record: flush, read the start position, fix the advance.
// Returns n, the words after the command word; below 3 there is no
// character and the words are only consumed.
size_t BeginRecord(Translation& tr) {
  FlushPending(tr);
  FlushTextAttributes(tr);  // also when no pen string was pending
  const size_t n = tr.reader.Current() >> 8;
  if (n < 3) {
    for (size_t i = 0; i < n; ++i) tr.reader.ReadUnsigned();
    return n;
  }
  TextState& t = tr.text();
  const OfiPoint start = ReadPoint(tr.reader);
  t.x = start.x;
  t.y = start.y;
  t.dy = t.cos_d * tr.job.carried_text.pitch;
  t.dx = t.sin_d * tr.job.carried_text.pitch;
  return n;
}

void Step(TextState& t) {
  t.x += t.dx;
  t.y += t.dy;
}

}  // namespace

double ExtraSpace(int64_t width, double pitch) {
  const double cell = 1.5 * std::fabs(static_cast<double>(width));
  const double r = pitch / cell;
  return r < 1 ? 1 - cell / pitch : r - 1;
}

size_t SlantLength(const WordReader& reader) {
  for (size_t k = 1; reader.Available(k); ++k)
    if (SlantFits(reader.Peek(k))) return k;
  return SIZE_MAX;
}

size_t TextRecordLength(const WordReader& reader) { return reader.Current() >> 8; }

void RunSlant(Translation& tr) {
  uint16_t word = tr.reader.ReadWord();
  while (!SlantFits(word)) {
    if (!tr.reader.Available(1)) return;
    word = tr.reader.ReadWord();
  }
  const double degrees = static_cast<int16_t>(word) / 100.0;
  const double t = std::tan(degrees * kPi / 180);
  tr.text().pending_sl = "SL" + FormatNumber(t, kSlant) + ";";
}

void RunDirection(Translation& tr) {
  double v = tr.reader.ReadSigned();
  if (v < 0) v += 65534;
  const double d = (v / 100 + 90) * kPi / 180;
  TextState& t = tr.text();
  t.cos_d = std::cos(d);
  t.sin_d = std::sin(d);
  t.pending_di =
      "DI" + FormatNumber(t.cos_d, kDirection) + "," + FormatNumber(t.sin_d, kDirection) + ";";
}

void RunSize(Translation& tr) {
  const int64_t width = tr.reader.ReadSigned();
  const int64_t height = tr.reader.ReadSigned();
  const double pitch = tr.reader.ReadUnsigned();
  SetSize(tr, width, height, pitch);
}

void RunSizePitch(Translation& tr) {
  WordReader& r = tr.reader;
  // Each value is a signed 32-bit pair, low word first.
  const auto width = static_cast<int32_t>(r.ReadDoubleWord());
  const auto height = static_cast<int32_t>(r.ReadDoubleWord());
  double pitch = static_cast<int32_t>(r.ReadDoubleWord());
  if (pitch < 0) pitch += 4294967294.0;
  SetSize(tr, width, height, pitch);
}

void RunByteText(Translation& tr) {
  const size_t n = BeginRecord(tr);
  if (n < 3) return;
  TextState& t = tr.text();
  for (size_t counter = 3;; ++counter) {
    const uint16_t word = tr.reader.ReadWord();
    const auto c1 = static_cast<uint8_t>(word & 0xFF), c2 = static_cast<uint8_t>(word >> 8);
    WriteByteCharacter(tr, c1);
    // A space in the last high byte is padding: not drawn, not advanced over.
    if (counter == n && c2 == 0x20) return;
    Step(t);
    WriteByteCharacter(tr, c2);
    if (counter == n || !tr.rejection.empty()) return;
    Step(t);
  }
}

void RunJisText(Translation& tr) {
  const size_t n = BeginRecord(tr);
  if (n < 3) return;
  TextState& t = tr.text();
  for (size_t counter = 3;; ++counter) {
    const uint16_t word = tr.reader.ReadWord();
    WriteJisCharacter(tr, static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8));
    if (counter == n || !tr.rejection.empty()) return;
    Step(t);
  }
}

}  // namespace tovrin
