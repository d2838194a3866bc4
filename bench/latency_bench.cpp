// How soon a poller plots a drawing its writer has just finished: a
// `tovrin-batch --watch 30` in a scratch folder, a writer dropping drawings
// at random moments (written and closed in place, or written under another
// name and moved in), and the time from the writer's close (or move) to
//   file: the GLF taking its name (OfiOut=ﾌｧｲﾙ), seen through inotify;
//   cups: the private cupsd holding the job's whole document (its data file
//         put in the cupsd's spool folder); source build/cupsd/env first.
// Then a burst of drawings moved in at once (each must be plotted exactly
// once), and the poller's CPU time while it sits idle.
//
//   tovrin_latency_bench file|cups [DRAWINGS [BURST [IDLE_SECONDS]]]

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch_process.h"
#include "drawing_files.h"
#include "fake_plotter.h"
#include "temp_folder.h"

namespace {

using namespace std::chrono_literals;
using tovrin::test::Batch;
using tovrin::test::TempFolder;
namespace fs = std::filesystem;

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The times names are closed or moved into a folder, in order.
class Arrivals {
 public:
  Arrivals(const std::string& folder, uint32_t mask, bool (*wanted)(const std::string&))
      : fd_(inotify_init1(IN_CLOEXEC)), wanted_(wanted) {
    inotify_add_watch(fd_, folder.c_str(), mask);
    thread_ = std::thread([this] { Run(); });
  }
  ~Arrivals() {
    stop_ = true;
    ::close(fd_);  // ends the blocked read
    thread_.detach();
  }
  std::vector<std::pair<std::string, double>> Seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  size_t Count() {
    std::lock_guard lock(mutex_);
    return seen_.size();
  }

 private:
  void Run() {
    alignas(inotify_event) char buf[64 * 1024];
    while (!stop_) {
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      const double t = Now();
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
        at += sizeof(inotify_event) + e->len;
        if (e->mask & IN_Q_OVERFLOW) std::cerr << "bench: own event queue overflowed\n";
        if (e->len == 0) continue;
        const std::string name(e->name);
        std::lock_guard lock(mutex_);
        if (wanted_(name) && names_.insert(name).second) seen_.emplace_back(name, t);
      }
    }
  }
  int fd_;
  bool (*wanted_)(const std::string&);
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::pair<std::string, double>> seen_;  // the first time of each name
  std::set<std::string> names_;
};

bool IsGlf(const std::string& name) { return name.ends_with(".GLF") && name[0] != '.'; }
bool IsCupsData(const std::string& name) { return name.size() > 1 && name[0] == 'd'; }

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Name(const char* prefix, int k) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%05d", prefix, k);
  return buf;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// Drops `count` drawings into `spool` at random moments, alternately closed
// in place and moved in from `staging`; returns the close (move) times.
std::vector<double> DropDrawings(const std::string& spool, const std::string& staging, int count) {
  std::mt19937 random(23);
  std::uniform_int_distribution<int> pause_ms(20, 400);
  std::vector<double> done;
  for (int k = 0; k < count; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms(random)));
    const auto bytes = tovrin::test::LinesDrawing("LATENCY", 50 + k);
    const std::string name = Name("W", k) + ".OFI";
    if (k % 2 == 0) {
      WriteFile(spool + "/" + name, bytes);
    } else {
      WriteFile(staging + "/" + name, bytes);
      fs::rename(staging + "/" + name, spool + "/" + name);
    }
    done.push_back(Now());
  }
  return done;
}

bool WaitUntil(const std::function<bool()>& done, double seconds) {
  const double end = Now() + seconds;
  while (!done()) {
    if (Now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

double CpuSeconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(f)), {});
  std::istringstream rest(stat.substr(stat.rfind(')') + 2));
  std::string field;
  double utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stod(field);
    if (i == 15) stime = std::stod(field);
  }
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

namespace {

struct Run {
  bool cups = false;
  int drawings = 200;
  int burst = 1000;
  double idle_seconds = 60;
};

std::vector<std::string> PollerArgs(const Run& run) {
  std::vector<std::string> args = {"--watch", "30", "--set", "OfiFEnd=消去"};
  if (!run.cups) {
    args.insert(args.end(), {"--set", "OfiOut=ﾌｧｲﾙ"});
    return args;
  }
  const char* queue = std::getenv("TOVRIN_CUPS_QUEUE");
  args.insert(args.end(), {"--set", "OfiOut=ﾌﾟﾛｯﾀ", "--set", std::string("Hprn=") + queue});
  return args;
}

// Close-to-arrival latencies of drawings dropped one by one.
void Latency(const Run& run, const std::string& spool, const std::string& staging,
             Arrivals& arrivals) {
  const size_t before = arrivals.Count();
  const std::vector<double> closed = DropDrawings(spool, staging, run.drawings);
  if (!WaitUntil([&] { return arrivals.Count() >= before + closed.size(); }, 60))
    std::cerr << "bench: only " << arrivals.Count() - before << " of " << closed.size()
              << " arrived\n";
  const auto seen = arrivals.Seen();
  std::vector<double> ms;
  for (size_t k = 0; k < closed.size() && before + k < seen.size(); ++k) {
    double at = seen[before + k].second;
    if (!run.cups) {  // by name: W00012.GLF is drawing 12
      const std::string glf = Name("W", static_cast<int>(k)) + ".GLF";
      for (const auto& [name, t] : seen)
        if (name == glf) at = t;
    }
    ms.push_back((at - closed[k]) * 1000);
  }
  std::printf("latency (%s, %zu drawings): p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
              run.cups ? "CUPS holds the job" : "GLF named", ms.size(), Percentile(ms, 0.5),
              Percentile(ms, 0.99), Percentile(ms, 1.0));
}

// Drawings moved in at once: the time until the last one arrived, and
// whether each was plotted exactly once.
void Burst(const Run& run, const std::string& spool, const std::string& staging,
           Arrivals& arrivals) {
  for (int k = 0; k < run.burst; ++k)
    WriteFile(staging + "/" + Name("B", k) + ".OFI", tovrin::test::LinesDrawing("BURST", 50));
  const size_t before = arrivals.Count();
  const double start = Now();
  for (int k = 0; k < run.burst; ++k)
    fs::rename(staging + "/" + Name("B", k) + ".OFI", spool + "/" + Name("B", k) + ".OFI");
  const bool all =
      WaitUntil([&] { return arrivals.Count() >= before + static_cast<size_t>(run.burst); }, 600);
  const double took = Now() - start;
  std::printf("burst of %d moved in at once: %s in %.2f s (%.1f drawings/s)\n", run.burst,
              all ? "all arrived" : "NOT all arrived", took, run.burst / took);
}

// Each drawing plotted exactly once: one finished line each, one arrival
// each, none left in the folder.
void Tally(const Run& run, const std::string& spool, Arrivals& arrivals, const Batch& poller) {
  std::this_thread::sleep_for(1s);  // deliveries CUPS completes delete their OFIs
  std::set<std::string> names;
  for (const auto& [name, t] : arrivals.Seen()) names.insert(name);
  int left = 0;
  for (const auto& e : fs::directory_iterator(spool)) left += e.path().extension() == ".OFI";
  std::printf(
      "plotted: %d finished lines, %zu arrivals (%zu distinct), %d OFIs left; "
      "expected %d of each, 0 left\n",
      poller.Count("　出図終了"), arrivals.Count(), names.size(), left, run.drawings + run.burst);
}

void Idle(const Run& run, pid_t pid) {
  if (run.idle_seconds <= 0) return;
  std::this_thread::sleep_for(2s);  // done with the last job
  const double cpu = CpuSeconds(pid);
  std::this_thread::sleep_for(std::chrono::duration<double>(run.idle_seconds));
  const double used = CpuSeconds(pid) - cpu;
  std::printf("idle for %.0f s: %.3f s CPU (%.4f %%)\n", run.idle_seconds, used,
              100 * used / run.idle_seconds);
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  if (argc < 2 || (std::string(argv[1]) != "file" && std::string(argv[1]) != "cups")) {
    std::cerr << "usage: tovrin_latency_bench file|cups [DRAWINGS [BURST [IDLE_SECONDS]]]\n";
    return 2;
  }
  run.cups = std::string(argv[1]) == "cups";
  if (argc > 2) run.drawings = std::atoi(argv[2]);
  if (argc > 3) run.burst = std::atoi(argv[3]);
  if (argc > 4) run.idle_seconds = std::atof(argv[4]);
  if (run.cups && (!std::getenv("TOVRIN_CUPS_QUEUE") || !std::getenv("TOVRIN_CUPSD_DIR"))) {
    std::cerr << "tovrin_latency_bench cups: source build/cupsd/env first\n";
    return 2;
  }
  TempFolder start, staging;
  std::unique_ptr<tovrin::test::FakePlotter> plotter;
  if (run.cups)
    plotter =
        std::make_unique<tovrin::test::FakePlotter>(std::atoi(std::getenv("TOVRIN_CUPS_PORT")));
  Arrivals arrivals(
      run.cups ? std::string(std::getenv("TOVRIN_CUPSD_DIR")) + "/spool" : start.path(),
      run.cups ? IN_CLOSE_WRITE | IN_MOVED_TO : IN_MOVED_TO, run.cups ? IsCupsData : IsGlf);
  Batch poller(start, PollerArgs(run));
  std::this_thread::sleep_for(1s);
  Latency(run, start.path(), staging.path(), arrivals);
  if (run.burst > 0) Burst(run, start.path(), staging.path(), arrivals);
  Idle(run, poller.Pid());
  const int status = poller.Stop();
  Tally(run, start.path(), arrivals, poller);
  std::printf("poller exit status %d\n", status);
  if (status != 0) std::cout << poller.Output().substr(0, 4000);
  return 0;
}
