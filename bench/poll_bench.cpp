// What one idle poll costs: a spool folder holding 10,000 files that are not
// drawings (and a few kept drawings a poller has already plotted). The job
// filters by name before it looks at any file and asks the spooler nothing.
//
//   tovrin_poll_bench [benchmark flags]

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "fakes.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::FakeHost;
using test::FakeSpooler;
using test::OfiBuilder;
using test::TempFolder;

void BM_IdlePollOverTenThousandOtherFiles(benchmark::State& state) {
  TempFolder start, spool;
  for (int i = 0; i < 10000; ++i)
    if (std::FILE* f = std::fopen((spool / ("scan" + std::to_string(i) + ".PDF")).c_str(), "wb"))
      std::fclose(f);
  for (int i = 0; i < static_cast<int>(state.range(0)); ++i)
    OfiBuilder().Header("KEPT").End().Save(spool / ("K" + std::to_string(i) + ".OFI"));
  FakeHost host(test::SearchSettings(start.path(), spool.path(), "ﾌﾟﾛｯﾀ"));
  FakeSpooler spooler;
  JobOptions options;
  options.settle_seconds = 0;
  options.repeat = true;
  PlotJob poller(host, &spooler, start.path(), options);
  poller.Run();  // plots the kept drawings once
  for (auto _ : state) poller.Run();
  state.counters["spooler_queries"] = spooler.queries;
  state.counters["documents"] = static_cast<double>(spooler.documents.size());
}
BENCHMARK(BM_IdlePollOverTenThousandOtherFiles)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tovrin

BENCHMARK_MAIN();
