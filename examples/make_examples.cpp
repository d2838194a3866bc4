// Writes the sample drawings of the demo into the folder given.
//
// All three are on A4 landscape sheets at 1 OFI unit = 0.01 mm: X runs along
// the sheet's 297 mm side, Y along its 210 mm side.
#include <iostream>
#include <string>

#include "ofi_builder.h"
#include "platform/cp932.h"

using tovrin::test::OfiBuilder;

namespace {

// Line classes: low nibble width (0 medium, 1 thin, 2 thick), high nibble style.
constexpr int kThick = 0x02;
constexpr int kMedium = 0x00;
constexpr int kThin = 0x01;
constexpr int kHidden = 0x10;   // thin dashed
constexpr int kCentre = 0x21;   // thin chain
constexpr int kPhantom = 0x31;  // thin double chain
constexpr int kBreak = 0x41;    // break line, own pen

OfiBuilder::RowCell J(int jis) { return OfiBuilder::Jis(jis); }
// A single-byte character inside a JIS text record.
OfiBuilder::RowCell A(char c) { return {0, c}; }
const OfiBuilder::RowCell Phi = J(0x2655);

// Header text: drawing number (16 bytes) and revision (4 bytes).
std::string HeaderField(const std::string& number_utf8, const std::string& rev) {
  std::string text = tovrin::ToCp932Lossy(number_utf8);
  text.resize(16, ' ');
  text += rev.substr(0, 4);
  return text;
}

// Circle through a point and the point opposite it.
void Circle(OfiBuilder& b, int cx, int cy, int r) { b.Arc(cx - r, cy, cx + r, cy, cx - r, cy); }

// Border, title block and its fixed texts.
OfiBuilder Sheet(const std::string& number, const std::string& rev,
                 std::initializer_list<OfiBuilder::RowCell> title) {
  OfiBuilder b;
  b.Header(HeaderField(number, rev)).Scale(10).DashUnit(100).Copies(1);
  b.SheetRecord(29700, 21000, 29700, 21000);
  b.LineClass(kThick).Polyline({1000, 1000, 28700, 1000, 28700, 20000, 1000, 20000, 1000, 1000});
  // Title block in the lower right corner.
  b.Polyline({18700, 1000, 18700, 4600, 28700, 4600});
  b.LineClass(kThin).Line(18700, 3400, 28700, 3400).Line(18700, 2200, 28700, 2200);
  b.Line(23200, 1000, 23200, 3400);
  b.TextBlock(true).Direction(0).Slant(0).Size(300, 400, 450);
  b.JisText(19000, 4300, title);
  b.Size(200, 250, 300);
  b.JisText(19000, 3000, {J(0x3F5E), J(0x4856), J(0x2127)});  // 図番：
  b.ByteText(20600, 3000, tovrin::ToCp932Lossy(number));
  b.JisText(19000, 1800, {J(0x3A60), J(0x3C41), J(0x2127)});  // 材質：
  b.ByteText(20600, 1800, "SS400");
  b.JisText(23500, 3000, {J(0x3C5C), J(0x4559), J(0x2127)});  // 尺度：
  b.ByteText(25100, 3000, "1:1");
  b.JisText(23500, 1800, {J(0x3D24), J(0x4035), J(0x2127)});  // 修正：
  b.ByteText(25100, 1800, rev);
  b.TextBlock(false);
  return b;
}

// A flanged bracket: outline, bore and bolt holes, centre and hidden lines,
// a hatched section, a cutting-plane line, dimensions and a leader.
OfiBuilder Bracket() {
  OfiBuilder b = Sheet("BRK-1001", "A", {J(0x2556), J(0x2569), J(0x2531), J(0x2543), J(0x2548)});
  // Front view.
  b.LineClass(kMedium).Polyline(
      {3000, 4000, 3000, 15000, 5000, 17000, 13000, 17000, 15000, 15000, 15000, 4000, 3000, 4000});
  Circle(b, 9000, 10500, 3000);
  Circle(b, 9000, 10500, 2000);
  for (int x : {5000, 13000}) {
    Circle(b, x, 6000, 600);
    Circle(b, x, 15000, 600);
  }
  b.LineClass(kCentre).Line(9000, 6500, 9000, 14500).Line(4500, 10500, 13500, 10500);
  for (int x : {5000, 13000}) b.Line(x, 5000, x, 7000).Line(x, 14000, x, 16000);
  // Side view in section: the web hatched, the bore hidden.
  b.LineClass(kMedium).Polyline(
      {16500, 4000, 16500, 17000, 18500, 17000, 18500, 4000, 16500, 4000});
  b.PatternBlock(true)
      .Area(16500, 4000, {OfiBuilder::kAreaLine, 18500, 4000,  OfiBuilder::kAreaLine, 18500, 7500,
                          OfiBuilder::kAreaLine, 16500, 7500,  OfiBuilder::kAreaLine, 16500, 4000,
                          OfiBuilder::kAreaLoop, 16500, 13500, OfiBuilder::kAreaLine, 18500, 13500,
                          OfiBuilder::kAreaLine, 18500, 17000, OfiBuilder::kAreaLine, 16500, 17000,
                          OfiBuilder::kAreaLine, 16500, 13500})
      .PatternBlock(false);
  b.LineClass(kHidden).Line(16500, 8500, 18500, 8500).Line(16500, 12500, 18500, 12500);
  b.LineClass(kCentre).Line(16000, 10500, 19000, 10500);
  // Cutting plane A-A through the bore.
  b.LineClass(kThick).WidePolyline(0, {1500000, 300000, 200000, 300000}, 0, 50,
                                   {2000, 10500, 2500, 10500});
  b.WidePolyline(0, {1500000, 300000, 200000, 300000}, 0, 50, {15500, 10500, 16000, 10500});
  // Dimensions.
  b.LineClass(kThin).Line(3000, 18000, 15000, 18000).Line(3000, 17300, 3000, 18300);
  b.Line(15000, 17300, 15000, 18300);
  b.TextBlock(true).Direction(0).Slant(0).Size(250, 350, 375);
  b.ByteText(8200, 17800, "120");
  b.JisText(10500, 14000, {Phi, A('6'), A('0'), J(0x215E), A('0'), A('.'), A('1')});  // φ60±0.1
  b.AnnotationLine(10500, 13900, 11200, 12700);
  b.JisText(13500, 7500, {A('2'), A('-'), Phi, A('1'), A('2')});
  b.AnnotationLine(13500, 7400, 13400, 6500);
  b.TextBlock(false);
  // Surface treatment note in palette colour 3.
  b.Palette(3);
  b.TextBlock(true).Size(250, 350, 375);
  b.JisText(3000, 2000, {J(0x4B49), J(0x3B2C), J(0x3D68), J(0x4D7D)});  // 防錆処理
  b.TextBlock(false);
  b.Palette(0);
  b.End();
  return b;
}

// A stepped shaft with a keyway, chamfers and a break line.
OfiBuilder Shaft() {
  OfiBuilder b = Sheet("SHF-2040", "B", {J(0x2537), J(0x2563), J(0x2555), J(0x2548)});  // シャフト
  b.LineClass(kMedium).Polyline({3500, 8000,  3000, 8500,  3000,  12500, 3500,  13000,
                                 9000, 13000, 9000, 14000, 20000, 14000, 20000, 7000,
                                 9000, 7000,  9000, 8000,  3500,  8000});
  b.Line(3500, 8000, 3500, 13000);
  b.Line(9000, 8000, 9000, 13000);
  // Keyway seen from above, rounded ends.
  b.Line(12000, 11000, 16000, 11000).Line(12000, 10000, 16000, 10000);
  b.Arc(12000, 11000, 11500, 10500, 12000, 10000);
  b.Arc(16000, 10000, 16500, 10500, 16000, 11000);
  b.LineClass(kCentre).Line(2000, 10500, 21000, 10500);
  b.LineClass(kPhantom).Polyline({20000, 7000, 24000, 7000, 24000, 14000, 20000, 14000});
  b.LineClass(kBreak).Line(20000, 6500, 20000, 14500);
  b.LineClass(kThin).Line(3000, 16000, 9000, 16000).Line(9000, 16000, 20000, 16000);
  b.TextBlock(true).Direction(0).Slant(0).Size(250, 350, 375);
  b.ByteText(5400, 15800, "55");
  b.ByteText(14000, 15800, "110");
  b.ByteText(4000, 5500, "C1");
  b.AnnotationLine(4200, 6100, 3300, 7900);
  b.TextBlock(false);
  b.End();
  return b;
}

// A flange with a dashed wide ring for its bolt circle.
OfiBuilder Flange() {
  OfiBuilder b = Sheet("FLG-3060", "A", {J(0x2555), J(0x2569), J(0x2573), J(0x2538)});  // フランジ
  Circle(b, 9500, 10500, 6500);
  Circle(b, 9500, 10500, 2500);
  b.LineClass(kThin).WideArc(0, {200000, 100000}, 0, 30, 4500, 10500, 14500, 10500, 4500, 10500);
  for (auto [x, y] : {std::pair{9500, 5500}, {14500, 10500}, {9500, 15500}, {4500, 10500}}) {
    b.LineClass(kMedium);
    Circle(b, x, y, 700);
  }
  b.LineClass(kCentre).Line(9500, 3000, 9500, 18000).Line(2000, 10500, 17000, 10500);
  b.TextBlock(true).Direction(4500).Slant(0).Size(250, 350, 375);
  b.JisText(13200, 14200, {A('4'), A('-'), Phi, A('1'), A('4')});
  b.TextBlock(false);
  b.End();
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : ".";
  bool ok = Bracket().Save(folder + "/BRACKET.OFI") && Shaft().Save(folder + "/SHAFT.OFI") &&
            Flange().Save(folder + "/FLANGE.OFI");
  if (!ok) std::cerr << "make_examples: cannot write into " << folder << "\n";
  return ok ? 0 : 1;
}
