// Reading a drawing through a window must give exactly what reading it
// whole gives, whatever the window size and however the records fall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "ofi_builder.h"
#include "thread_limit.h"
#include "translate/reader_cycle.h"

namespace tovrin {
namespace {

using test::OfiBuilder;

class MemorySource : public WordSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  size_t ReadAt(uint64_t offset, uint8_t* into, size_t size) override {
    ++reads;
    if (offset >= bytes_.size()) return 0;
    const size_t n = std::min<size_t>(size, bytes_.size() - offset);
    std::memcpy(into, bytes_.data() + offset, n);
    return n;
  }
  void Shrink(size_t size) { bytes_.resize(std::min(size, bytes_.size())); }
  long reads = 0;

 private:
  std::vector<uint8_t> bytes_;
};

// Records of every kind, some far longer than a window: a polyline of 9000
// points, a wide polyline and an area of thousands of pieces.
std::vector<uint8_t> MixedDrawing(std::mt19937& rng) {
  auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  OfiBuilder b;
  b.Header("MIXED").Scale(10).DashUnit(100).SheetRecord(29700, 21000, 29700, 21000);
  for (int round = 0; round < 6; ++round) {
    b.LineClass(r(0, 3) * 0x10 + r(0, 1)).Line(r(0, 30000), r(0, 20000), r(0, 30000), r(0, 20000));
    b.Arc(r(5000, 9000), 5000, 5000, r(5000, 9000), r(1000, 5000), 5000);
    std::vector<int> xy;
    const int points = round == 2 ? 9000 : r(3, 11);
    for (int i = 0; i < 2 * points; ++i) xy.push_back(r(1000, 30000));
    b.Word(OfiBuilder::kEscDollar).Word(0xFF44).Count(xy.size());
    for (int v : xy) b.Word(static_cast<uint16_t>(v));
    b.WidePolyline(0, {300, 100}, 50, 40, {r(0, 9000), r(0, 9000), r(0, 9000), r(0, 9000)});
    if (round == 4) {  // a wide polyline of 5000 points
      b.Word(OfiBuilder::kEscDollar).Word(0xFF42).Count(5 + 2 * 2 + 2 * 5000);
      b.Word(0).Word(2).Count(300).Count(100).Count(50).Word(40);
      for (int i = 0; i < 2 * 5000; ++i) b.Word(static_cast<uint16_t>(r(1000, 30000)));
    }
    b.TextBlock(true).Size(200, 300, 350).ByteText(r(0, 9000), r(0, 9000), "SS400");
  }
  b.Word(OfiBuilder::kEscDollar).Word(0xFF50).Count(3 + 3 * 3000).Word(0).Words({100, 100});
  for (int i = 0; i < 3000; ++i) b.Words({OfiBuilder::kAreaLine, r(0, 9000), r(0, 9000)});
  b.End();
  return b.Bytes();
}

DrawingResult TranslateThrough(WordReader words, std::string& glf) {
  JobContext job(MakeSnapshot(PlotSettings::Defaults("/tmp")));
  GlfWriter out;
  DrawingResult result = TranslateDrawing(job, std::move(words), out, [] { return true; });
  glf = out.Bytes();
  return result;
}

// Through the window alone, and with the next window read ahead.
DrawingResult ExpectSameAsInMemory(const std::vector<uint8_t>& bytes, size_t window_words) {
  std::string whole_glf;
  const DrawingResult whole = TranslateThrough(WordReader(bytes), whole_glf);
  for (auto ahead : {WordReader::ReadAhead::Off, WordReader::ReadAhead::On}) {
    SCOPED_TRACE(ahead == WordReader::ReadAhead::On ? "read ahead" : "window alone");
    std::string windowed_glf;
    MemorySource source(bytes);
    const DrawingResult windowed =
        TranslateThrough(WordReader(source, bytes.size(), window_words, ahead), windowed_glf);
    EXPECT_EQ(windowed.end, whole.end);
    EXPECT_EQ(windowed.reason, whole.reason);
    EXPECT_FALSE(windowed.short_read);
    EXPECT_EQ(windowed_glf.size(), whole_glf.size());
    EXPECT_TRUE(windowed_glf == whole_glf);
  }
  return whole;
}

TEST(WindowedReading, GivesTheSameGlfAsReadingInMemory) {
  std::mt19937 rng(17);
  const std::vector<uint8_t> drawing = MixedDrawing(rng);
  ASSERT_GT(drawing.size(), 8 * WordReader::kMaxRunWords);
  for (size_t window : {size_t{0}, WordReader::kMaxRunWords, WordReader::kMaxRunWords + 3,
                        size_t{10007}, WordReader::kWindowWords}) {
    SCOPED_TRACE(window);
    EXPECT_EQ(ExpectSameAsInMemory(drawing, window).end, DrawingEnd::Finished);
  }
}

// Damaged drawings make the commands look far ahead and back (length
// fields, areas, slants): each word is still the drawing's own.
TEST(WindowedReading, DamagedDrawingsReadTheSameThroughASmallWindow) {
  std::mt19937 rng(29);
  const std::vector<uint8_t> drawing = MixedDrawing(rng);
  const uint16_t kinds[] = {0x211B, 0x241B, 0xFF44, 0xFF50, 0x0045, 0xFFFF, 0x0000, 0x0A49};
  for (int round = 0; round < 24; ++round) {
    std::vector<uint8_t> damaged = drawing;
    for (int k = 0; k < 20; ++k) {
      const size_t at = 2 * std::uniform_int_distribution<size_t>(0, damaged.size() / 2 - 1)(rng);
      const uint16_t w = round % 2 ? kinds[rng() % 8] : static_cast<uint16_t>(rng());
      damaged[at] = static_cast<uint8_t>(w);
      damaged[at + 1] = static_cast<uint8_t>(w >> 8);
    }
    if (round % 3 == 0) damaged.resize(rng() % damaged.size());
    SCOPED_TRACE(round);
    ExpectSameAsInMemory(damaged, WordReader::kMaxRunWords + round);
  }
}

TEST(WindowedReading, WithoutAThreadToSpareReadingAheadGivesWayToReadingInTurn) {
  std::mt19937 rng(17);
  const std::vector<uint8_t> drawing = MixedDrawing(rng);
  std::string whole_glf;
  TranslateThrough(WordReader(drawing), whole_glf);
  const int status = test::RunWithoutThreads([&] {
    MemorySource source(drawing);
    WordReader reader(source, drawing.size(), WordReader::kMaxRunWords, WordReader::ReadAhead::On);
    if (reader.ReadAheadNote().empty()) return 1;
    std::string glf;
    TranslateThrough(std::move(reader), glf);
    return glf == whole_glf ? 0 : 2;
  });
  if (status == test::kNoThreadLimitHere) GTEST_SKIP() << "no task limit can be set up here";
  EXPECT_EQ(status, 0);
}

TEST(WindowedReading, ADrawingThatShrinksWhileReadEndsWithinItsOpenedSize) {
  std::mt19937 rng(5);
  const std::vector<uint8_t> drawing = MixedDrawing(rng);
  MemorySource source(drawing);
  WordReader reader(source, drawing.size(), WordReader::kMaxRunWords);
  EXPECT_EQ(reader.WordAt(1), drawing[0] | drawing[1] << 8);
  source.Shrink(drawing.size() / 2);
  std::string glf;
  const DrawingResult result = TranslateThrough(std::move(reader), glf);
  EXPECT_TRUE(result.short_read);
  EXPECT_NE(result.end, DrawingEnd::Finished);  // the end marker is gone
}

TEST(WindowedReading, WordsAreReadOnceInOrderAndOutsideTheDrawingAreZero) {
  std::vector<uint8_t> bytes(2 * 20000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
  MemorySource source(bytes);
  WordReader reader(source, bytes.size() + 1, 4096);  // odd byte: no word
  EXPECT_EQ(reader.WordCount(), 20000u);
  for (size_t p = 1; p <= 20000; ++p)
    ASSERT_EQ(reader.WordAt(p), bytes[2 * p - 2] | bytes[2 * p - 1] << 8) << p;
  EXPECT_EQ(source.reads, 5);  // 20000 words through windows of 4096
  EXPECT_EQ(reader.WordAt(0), 0);
  EXPECT_EQ(reader.WordAt(20001), 0);
  EXPECT_EQ(reader.WordAt(size_t{1} << 40), 0);
  const uint8_t* run = reader.WordBytes(19000, WordReader::kMaxRunWords);
  EXPECT_EQ(std::memcmp(run, bytes.data() + 2 * 18999, 2 * WordReader::kMaxRunWords), 0);
}

TEST(WindowedReading, ReadAheadReadsEachWindowOnceAndFollowsJumps) {
  std::vector<uint8_t> bytes(2 * 50000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 5 + i / 256);
  auto word = [&](size_t p) { return bytes[2 * p - 2] | bytes[2 * p - 1] << 8; };
  MemorySource source(bytes);
  WordReader reader(source, bytes.size(), 4096, WordReader::ReadAhead::On);
  for (size_t p = 1; p <= 50000; ++p) ASSERT_EQ(reader.WordAt(p), word(p)) << p;
  EXPECT_EQ(source.reads, 13);  // 50000 words in windows of 4096, each read once
  // Runs across the windows' edges, from a cursor a little behind them,
  // then jumps back and forth.
  for (size_t at : {size_t{1}, size_t{4000}, size_t{8100}, size_t{30000}, size_t{2}, size_t{49000},
                    size_t{12000}, size_t{12290}, size_t{16300}}) {
    reader.SetWordPosition(at > 100 ? at - 100 : at);
    const uint8_t* run = reader.WordBytes(at, WordReader::kMaxRunWords);
    ASSERT_EQ(std::memcmp(run, bytes.data() + 2 * (at - 1), 2 * WordReader::kMaxRunWords), 0) << at;
    ASSERT_EQ(reader.WordAt(at + 600), word(at + 600)) << at;
  }
  EXPECT_FALSE(reader.ShortRead());
  EXPECT_EQ(reader.ReadAheadNote(), "");
}

}  // namespace
}  // namespace tovrin
