// Translation throughput on a large generated drawing of lines, polylines
// and arcs, next to a baseline that only reads the drawing and writes as
// many bytes as the translation does.
//
//   tovrin_bench [--drawing_mb=64] [benchmark flags]

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "translate/reader_cycle.h"
#include "platform/folder.h"
#include "ofi_builder.h"

namespace tovrin {
namespace {

using test::OfiBuilder;

std::string g_drawing_path;
std::string g_output_path;
size_t g_drawing_bytes = 0;
uint64_t g_glf_bytes = 0;

// One A1-sized drawing, written chunk by chunk so generating it needs little
// memory: about 40 % of the words in lines, 45 % in polylines, 15 % in arcs
// and circles, with line-class changes between runs of strokes.
bool GenerateDrawing(const std::string& path, size_t target_bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::mt19937 rng(12345);
  auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int classes[] = {0x00, 0x01, 0x02, 0x10, 0x11, 0x21, 0x31, 0x40};
  size_t written = 0;
  bool first = true;
  while (written < target_bytes) {
    OfiBuilder b;
    if (first) {
      b.Header("BENCH").Scale(20).DashUnit(20).Copies(1).SheetRecord(41000, 29000, 41000, 29000);
      first = false;
    }
    for (int run = 0; run < 200; ++run) {
      b.LineClass(classes[coord(0, 7)]);
      for (int i = 0; i < 20; ++i) {
        int x = coord(100, 40000), y = coord(100, 28000);
        b.Line(x, y, x + coord(-600, 600) + 600, y + coord(0, 3000));
      }
      std::vector<int> xy;
      int x = coord(1000, 30000), y = coord(1000, 20000);
      for (int i = 0; i < 60; ++i) {
        xy.push_back(x += coord(-150, 150) + 150);
        xy.push_back(y += coord(-150, 150) + 150);
      }
      b.Word(OfiBuilder::kEscDollar).Word(0xFF44).Count(xy.size());
      for (int v : xy) b.Word(static_cast<uint16_t>(v));
      for (int i = 0; i < 12; ++i) {
        int cx = coord(3000, 35000), cy = coord(3000, 25000), r = coord(50, 2500);
        if (i % 4 == 0) {
          b.Arc(cx + r, cy, cx - r, cy, cx + r, cy);  // circle
        } else {
          b.Arc(cx + r, cy, cx, cy + r, cx - r, cy + coord(-r / 2, r / 2));
        }
      }
    }
    std::vector<uint8_t> bytes = b.Bytes();
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) break;
    written += bytes.size();
  }
  OfiBuilder end;
  end.End();
  std::vector<uint8_t> tail = end.Bytes();
  std::fwrite(tail.data(), 1, tail.size(), f);
  written += tail.size();
  g_drawing_bytes = written;
  return std::fclose(f) == 0;
}

// The drawing read as the job reads it.
std::vector<uint8_t> ReadDrawing() {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(g_drawing_path, bytes, error) || bytes.size() != g_drawing_bytes) std::abort();
  return bytes;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

void Report(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_drawing_bytes));
  state.counters["glf_MB"] = static_cast<double>(g_glf_bytes) / 1e6;
  state.counters["peak_rss_MB"] = PeakMegabytes();
  state.counters["drawing_MB"] = static_cast<double>(g_drawing_bytes) / (1024.0 * 1024.0);
}

// Read the drawing, translate it into a GLF file; the abort test before each
// top-level word is a flag load, as a job's is between event pumps.
void BM_TranslateDrawing(benchmark::State& state) {
  PlotSettings settings = PlotSettings::Defaults("/tmp");
  settings.Plot = "A1ﾌﾟﾛｯﾀﾛｰﾙ紙";
  volatile bool abort_flag = false;
  for (auto _ : state) {
    auto ofi = ReadDrawing();
    JobContext job(MakeSnapshot(settings));
    GlfWriter out;
    std::string error;
    if (!out.Open(g_output_path, error)) std::abort();
    DrawingResult r = TranslateDrawing(job, {ofi.data(), g_drawing_bytes}, out, [&] { return !abort_flag; });
    if (r.end != DrawingEnd::Finished) state.SkipWithError("drawing not finished");
    g_glf_bytes = out.BytesWritten();
    out.Close();
  }
  Report(state);
}

// The translation alone: the drawing already in memory, the GLF to
// /dev/null. Not part of the target; it shows what the file traffic costs.
void BM_TranslateInMemory(benchmark::State& state) {
  PlotSettings settings = PlotSettings::Defaults("/tmp");
  settings.Plot = "A1ﾌﾟﾛｯﾀﾛｰﾙ紙";
  auto ofi = ReadDrawing();
  for (auto _ : state) {
    JobContext job(MakeSnapshot(settings));
    GlfWriter out;
    std::string error;
    if (!out.Open("/dev/null", error)) std::abort();
    TranslateDrawing(job, {ofi.data(), g_drawing_bytes}, out, [] { return true; });
    out.Close();
  }
  Report(state);
}

// Read the drawing and write the same number of bytes, in the writer's chunks.
void BM_ReadAndWriteBaseline(benchmark::State& state) {
  for (auto _ : state) {
    auto ofi = ReadDrawing();
    std::FILE* f = std::fopen(g_output_path.c_str(), "wb");
    if (!f) std::abort();
    uint64_t left = g_glf_bytes;
    const size_t chunk = 1 << 20;
    while (left > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>({left, chunk, g_drawing_bytes}));
      std::fwrite(ofi.data(), 1, n, f);
      left -= n;
    }
    std::fclose(f);
    benchmark::DoNotOptimize(ofi.data());
  }
  Report(state);
}

BENCHMARK(BM_TranslateDrawing)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TranslateInMemory)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadAndWriteBaseline)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace tovrin

int main(int argc, char** argv) {
  size_t megabytes = 64;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--drawing_mb=", 13) == 0) {
      megabytes = std::strtoul(argv[i] + 13, nullptr, 10);
    } else {
      args.push_back(argv[i]);
    }
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp ? tmp : "/tmp";
  tovrin::g_drawing_path = dir + "/tovrin_bench_" + std::to_string(getpid()) + ".ofi";
  tovrin::g_output_path = dir + "/tovrin_bench_" + std::to_string(getpid()) + ".glf";
  if (!tovrin::GenerateDrawing(tovrin::g_drawing_path, megabytes << 20)) {
    std::fprintf(stderr, "cannot write %s\n", tovrin::g_drawing_path.c_str());
    return 1;
  }
  std::printf("drawing: %.1f MB of OFI words\n", tovrin::g_drawing_bytes / (1024.0 * 1024.0));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(tovrin::g_drawing_path.c_str());
  std::remove(tovrin::g_output_path.c_str());
  return 0;
}
