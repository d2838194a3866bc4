// What a job spends on each drawing beyond translating it: a spool folder of
// 10,000 small drawings plotted to GLF files in one job. Per drawing: wall
// time, time in the program (user) and in the kernel for it (system). The
// folder is on /dev/shm by default, where flushing to the disk costs
// nothing; give a folder on a disk as the first argument to see the flushes
// too. Target: the job's own work (user time, less the translation's)
// at most 30 us per drawing.
//
//   tovrin_job_bench [FOLDER] [benchmark flags]

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "fakes.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "translate/reader_cycle.h"

namespace tovrin {
namespace {

using test::FakeHost;
using test::FakeSpooler;
using test::OfiBuilder;

std::string g_parent = "/dev/shm";
constexpr int kDrawings = 10000;

OfiBuilder SmallDrawing() {
  OfiBuilder b;
  b.Header("SMALL").Scale(10).SheetRecord(29700, 21000, 29700, 21000);
  b.Polyline({1000, 1000, 28700, 1000, 28700, 20000, 1000, 20000, 1000, 1000});
  for (int i = 0; i < 10; ++i) b.Line(2000 + 100 * i, 2000, 9000, 3000 + 50 * i);
  b.Arc(6000, 5000, 5000, 6000, 4000, 5000);
  return b.End();
}

struct CpuSeconds {
  double user = 0, system = 0;
};

CpuSeconds UsedCpu() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

PlotSettings Settings(const std::string& start, const std::string& spool) {
  // Kept, so that every run plots the same folder.
  return test::SearchSettings(start, spool, "ﾌｧｲﾙ", "保存");
}

void BM_JobOfSmallDrawings(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(g_parent) / ("tovrin-job-bench-" + std::to_string(::getpid()));
  const fs::path start = root / "start", spool = root / "spool";
  fs::create_directories(start);
  fs::create_directories(spool);
  const OfiBuilder drawing = SmallDrawing();
  for (int i = 0; i < kDrawings; ++i) drawing.Save(spool / ("D" + std::to_string(i) + ".OFI"));
  FakeHost host(Settings(start, spool));
  FakeSpooler spooler;
  const CpuSeconds before = UsedCpu();
  const auto started = std::chrono::steady_clock::now();
  for (auto _ : state) {
    host.log.clear();
    JobSummary s = PlotJob(host, &spooler, start, {.settle_seconds = 0}).Run();
    if (s.finished != kDrawings) state.SkipWithError("not every drawing finished");
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - started;
  const CpuSeconds after = UsedCpu();
  const double per = 1e6 / (static_cast<double>(state.iterations()) * kDrawings);
  state.counters["wall_us"] = wall.count() * per;
  // Time in the program itself, and in the kernel on its behalf (the file
  // system's work for the drawing, the GLF and the history).
  state.counters["user_us"] = (after.user - before.user) * per;
  state.counters["system_us"] = (after.system - before.system) * per;
  fs::remove_all(root);
}
BENCHMARK(BM_JobOfSmallDrawings)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

// The translation of the same drawings alone, in memory: what the job's
// time is compared with.
void BM_TranslateSmallDrawings(benchmark::State& state) {
  const std::vector<uint8_t> bytes = SmallDrawing().Bytes();
  const JobSnapshot snapshot = MakeSnapshot(Settings("/tmp", "/tmp"));
  for (auto _ : state) {
    JobContext job(snapshot);
    for (int i = 0; i < kDrawings; ++i) {
      GlfWriter out;
      TranslateDrawing(job, bytes, out, [] { return true; });
      benchmark::DoNotOptimize(out.BytesWritten());
    }
  }
  // Microseconds per drawing (the rate of drawings per microsecond, inverted).
  state.counters["user_us"] =
      benchmark::Counter(kDrawings * 1e-6, benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
}
BENCHMARK(BM_TranslateSmallDrawings)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tovrin

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc > 1) tovrin::g_parent = argv[1];
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
