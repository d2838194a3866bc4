// Preview speed: a 10 MB GLF of the kind the translation writes (lines,
// polylines, dashed runs, arcs, circles, filled areas, labels) rendered to
// a 2000 x 1400 PNG. Target: the whole of it in under a second.
//
//   tovrin_preview_bench [--glf_mb=10] [--write_glf=FILE] [benchmark flags]
//   tovrin_preview_bench --write_ofi=FILE [--ofi_mb=100] [--past_sheet]
//   tovrin_preview_bench --preview_glf=FILE [--preview_out=DIR]
//
// --write_ofi writes a big drawing (lines, polylines, arcs, text, areas) for
// timing `tovrin-batch --preview` as a whole; the target there is 15 s and
// 512 MB peak (/usr/bin/time -v) for 100 MB. With --past_sheet its strokes
// spread over half as much again as the sheet each way, so most of them run
// past it: the preview then fits the image to the ink, not to the sheet.
// --preview_glf writes the preview of a GLF file as tovrin-batch would
// (into DIR, default the current folder), to time or profile it alone.

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "geometry/encode_points.h"
#include "glf/glf_writer.h"
#include "ofi_builder.h"
#include "preview/glf_preview.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_render.h"

namespace tovrin::preview {
namespace {

size_t g_glf_mb = 10;
const QSize kImageSize(2000, 1400);

std::string Encoded(std::initializer_list<int64_t> values) {
  GlfWriter w;
  EncodePoints(w, values);
  return w.Bytes();
}

// An A1 sheet filled at random with what drawings are made of, in the
// sizes of detail drawings: strokes of a few millimetres to a few
// centimetres, holes and arcs up to 4 cm across, wandering over the sheet.
std::string MakeGlf(size_t target_bytes) {
  std::mt19937 rng(4242);
  auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char* pens[] = {"SP1LT;", "SP2LT;", "SP3LT;", "SP3LT2,1.6;", "SP2LT5,8.0;", "SP4LT;"};
  std::string glf =
      "\x1b%-1BBPINRO0IP0,0,23760,33640SC0,23760,0,33640,0SD1,11,6,2SSAD1,1643,6,2,7,50SP2";
  glf.reserve(target_bytes + 4096);
  int fx = 12000, fy = 16000;
  while (glf.size() < target_bytes) {
    glf += pens[r(0, 5)];
    // Drawings are drawn feature by feature: each stroke starts near the last.
    for (int i = 0; i < 40; ++i) {
      fx = std::clamp(fx + r(-1500, 1500), 500, 23000);
      fy = std::clamp(fy + r(-1500, 1500), 500, 33000);
      const int x = fx, y = fy;
      switch (r(0, 19)) {
        case 0:
          glf += "PE<=" + Encoded({x, y}) + ";PDAA" + std::to_string(x + r(-800, 800)) + "," +
                 std::to_string(y + r(-800, 800)) + "," + std::to_string(r(-270, 270)) + ".5";
          break;
        case 1: glf += "PE<=" + Encoded({x, y}) + ";CI" + std::to_string(r(40, 800)); break;
        case 2:
          glf += "PE<=" + Encoded({x, y}) + ";PM0PE=" + Encoded({x + 400, y}) +
                 ";PE=" + Encoded({x + 400, y + 300}) + ";PE=" + Encoded({x, y + 300}) + ";PM2FPEP";
          break;
        case 3:
          glf += "DI0.0,1.0;SSSI0.35,0.5LM0PE<=" + Encoded({x, y}) + ";LB" +
                 std::string(1, char(r(0x41, 0x5A))) + "\x03";
          break;
        case 4:
        case 5:
        case 6: {
          glf += "PE<=" + Encoded({x, y});
          for (int k = 0; k < 10; ++k) glf += Encoded({r(-150, 150), r(-150, 150)});
          glf += ";";
          break;
        }
        default: glf += "PE<=" + Encoded({x, y, r(-600, 600), r(-600, 600)}) + ";";
      }
    }
  }
  return glf + "PUSP0\033E";
}

const std::string& Glf() {
  static const std::string glf = MakeGlf(g_glf_mb << 20);
  return glf;
}

void BM_Parse(benchmark::State& state) {
  size_t points = 0, items = 0;
  for (auto _ : state) {
    const PlotPicture picture = ParseGlf(Glf());
    points = picture.points.size();
    items = picture.items.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Glf().size()));
  state.counters["points"] = static_cast<double>(points);
  state.counters["items"] = static_cast<double>(items);
}

// Argument: antialiasing on (1) or off (0).
void BM_Render(benchmark::State& state) {
  EnsureGuiApplication();
  const PlotPicture picture = ParseGlf(Glf());
  RenderOptions options;
  options.antialias = state.range(0) != 0;
  for (auto _ : state) benchmark::DoNotOptimize(RenderImage(picture, kImageSize, options));
}

// What the target is about: bytes in, PNG out.
void BM_GlfToPng(benchmark::State& state) {
  EnsureGuiApplication();
  for (auto _ : state) {
    const QImage image = RenderImage(ParseGlf(Glf()), kImageSize);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    benchmark::DoNotOptimize(png.size());
  }
  state.counters["glf_MB"] = static_cast<double>(Glf().size()) / (1 << 20);
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// The preview window on the biggest drawing the job log keeps (64 MB of
// GLF, --glf_mb=64): parse within the view's limits, paint it fitted, then
// paint it zoomed 20 times (culled). Target: within 15 s and 512 MB.
void BM_WindowPicture(benchmark::State& state) {
  EnsureGuiApplication();
  const QSize window(900, 660);
  size_t points = 0;
  bool simplified = false;
  for (auto _ : state) {
    const PlotPicture picture = ParseGlf(Glf(), kViewLimits);
    points = picture.points.size();
    simplified = picture.truncated;
    RenderOptions options;
    QImage image(window, QImage::Format_RGB32);
    const QTransform fit = ViewTransform(picture, QRectF(QPointF(0, 0), QSizeF(window)), options);
    for (double zoom : {1.0, 20.0}) {
      image.fill(options.background);
      QPainter painter(&image);
      Paint(painter, picture,
            fit * QTransform(zoom, 0, 0, zoom, -(zoom - 1) * 450, -(zoom - 1) * 330), options);
    }
  }
  state.counters["points"] = static_cast<double>(points);
  state.counters["simplified"] = simplified ? 1 : 0;
  state.counters["peak_rss_MB"] = PeakMegabytes();
  state.counters["glf_MB"] = static_cast<double>(Glf().size()) / (1 << 20);
}

// A zoomed repaint alone, which culling keeps cheap.
void BM_ZoomedRepaint(benchmark::State& state) {
  EnsureGuiApplication();
  const PlotPicture picture = ParseGlf(Glf(), kViewLimits);
  const QSize window(900, 660);
  RenderOptions options;
  QImage image(window, QImage::Format_RGB32);
  const QTransform fit = ViewTransform(picture, QRectF(QPointF(0, 0), QSizeF(window)), options);
  const double zoom = static_cast<double>(state.range(0));
  for (auto _ : state) {
    image.fill(options.background);
    QPainter painter(&image);
    Paint(painter, picture,
          fit * QTransform(zoom, 0, 0, zoom, -(zoom - 1) * 450, -(zoom - 1) * 330), options);
  }
}

BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowPicture)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ZoomedRepaint)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlfToPng)->Unit(benchmark::kMillisecond);

// A drawing of about `target_bytes` OFI bytes, written in chunks so that
// making it needs little memory. Like a real drawing it stays on its sheet,
// unless `past_sheet`: then its lines, polylines and arcs spread 1.5 times
// as far each way (OFI words stay below 65536).
bool WriteBigDrawing(const std::string& path, size_t target_bytes, bool past_sheet) {
  using test::OfiBuilder;
  std::ofstream f(path, std::ios::binary);
  std::mt19937 rng(777);
  auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const double spread = past_sheet ? 1.5 : 1.0;
  auto far = [&](int lo, int hi) { return static_cast<int>(r(lo, hi) * spread); };
  const int classes[] = {0x00, 0x01, 0x02, 0x10, 0x11, 0x21, 0x31, 0x40};
  size_t written = 0;
  bool first = true;
  while (written < target_bytes && f) {
    OfiBuilder b;
    if (first)
      b.Header("BIG").Scale(20).DashUnit(20).Copies(1).SheetRecord(41000, 29000, 41000, 29000);
    first = false;
    for (int run = 0; run < 100; ++run) {
      b.LineClass(classes[r(0, 7)]);
      for (int i = 0; i < 20; ++i) {
        const int x = far(100, 38000), y = far(100, 25000);
        b.Line(x, y, x + r(0, 1200), y + r(0, 3000));
      }
      int x = far(1000, 30000), y = far(1000, 20000);
      b.Word(OfiBuilder::kEscDollar).Word(0xFF44).Count(40);
      for (int i = 0; i < 20; ++i) b.Words({x += r(0, 300), y += r(0, 300)});
      for (int i = 0; i < 6; ++i) {
        const int cx = far(3000, 35000), cy = far(3000, 25000), rad = r(50, 2500);
        b.Arc(cx + rad, cy, cx, cy + rad, cx - rad, cy);
      }
      b.TextBlock(true)
          .Size(200, 300, 250)
          .ByteText(r(100, 34000), r(100, 26000), "A-123 BOLT")
          .TextBlock(false);
      const int ax = r(1000, 38000), ay = r(1000, 25000);
      b.Area(ax, ay,
             {OfiBuilder::kAreaLine, ax + 800, ay, OfiBuilder::kAreaLine, ax + 800, ay + 500,
              OfiBuilder::kAreaLine, ax, ay + 500, OfiBuilder::kAreaLine, ax, ay});
    }
    const std::vector<uint8_t> bytes = b.Bytes();
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    written += bytes.size();
  }
  const std::vector<uint8_t> tail = OfiBuilder().End().Bytes();
  f.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
  return static_cast<bool>(f);
}

int WritePreview(const std::string& glf, const std::string& folder) {
  EnsureGuiApplication();
  std::string error;
  PreviewOutcome outcome;
  if (!WritePreviewFilesFor(glf, folder, "preview", error, &outcome)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("peak_rss_MB=%.0f%s\n", PeakMegabytes(), outcome.simplified ? " simplified" : "");
  return 0;
}

}  // namespace
}  // namespace tovrin::preview

int main(int argc, char** argv) {
  size_t ofi_mb = 100;
  bool past_sheet = false;
  std::string preview_out = ".";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--preview_out=", 14) == 0) preview_out = argv[i] + 14;
    if (std::strncmp(argv[i], "--ofi_mb=", 9) == 0) ofi_mb = std::strtoul(argv[i] + 9, nullptr, 10);
    if (std::strcmp(argv[i], "--past_sheet") == 0) past_sheet = true;
  }
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--write_ofi=", 12) == 0) {
      return tovrin::preview::WriteBigDrawing(argv[i] + 12, ofi_mb << 20, past_sheet) ? 0 : 1;
    } else if (std::strncmp(argv[i], "--preview_glf=", 14) == 0) {
      return tovrin::preview::WritePreview(argv[i] + 14, preview_out);
    } else if (std::strncmp(argv[i], "--glf_mb=", 9) == 0) {
      tovrin::preview::g_glf_mb = std::strtoul(argv[i] + 9, nullptr, 10);
    } else if (std::strncmp(argv[i], "--write_glf=", 12) == 0) {
      std::ofstream(argv[i] + 12, std::ios::binary) << tovrin::preview::Glf();
      return 0;
    }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
