// Writes the sample drawings of the demo into the folder given.
#include <iostream>
#include <string>

#include "ofi_builder.h"
#include "platform/cp932.h"

using tovrin::test::OfiBuilder;

namespace {

// Header text fields: drawing number (16 bytes) and revision (4 bytes).
std::string HeaderField(const std::string& number_utf8, const std::string& rev) {
  std::string text = tovrin::ToCp932Lossy(number_utf8);
  text.resize(16, ' ');
  text += rev.substr(0, 4);
  return text;
}

// A4 landscape sheet, 1 OFI unit = 0.01 mm.
OfiBuilder Frame(const std::string& number, const std::string& rev) {
  OfiBuilder b;
  b.Header(HeaderField(number, rev)).Scale(10).DashUnit(100).Copies(1).SheetRecord(29700, 21000, 29700, 21000);
  b.LineClass(2).Polyline({1000, 1000, 1000, 20000, 28700, 20000, 28700, 1000, 1000, 1000});
  return b;
}

// A flanged bracket: outline, bore, bolt holes and centre lines.
OfiBuilder Bracket() {
  OfiBuilder b = Frame("BRK-1001 ﾌﾞﾗｹｯﾄ", "A");
  b.LineClass(0).Polyline({4000, 4000, 4000, 17000, 16000, 17000, 16000, 4000, 4000, 4000});
  b.Arc(10000, 7500, 13000, 10500, 10000, 13500);
  b.Arc(10000, 13500, 7000, 10500, 10000, 7500);
  b.LineClass(17).Line(10000, 5500, 10000, 15500).Line(3500, 10500, 16500, 10500);
  b.LineClass(1).Line(4000, 6000, 2500, 6000).Line(4000, 15000, 2500, 15000);
  b.End();
  return b;
}

// A stepped shaft in side view with a break line.
OfiBuilder Shaft() {
  OfiBuilder b = Frame("SHF-2040 ｼｬﾌﾄ", "B");
  b.LineClass(0).Polyline({6000, 3000, 6000, 9000, 14000, 9000, 14000, 3000, 6000, 3000});
  b.Polyline({7000, 9000, 7000, 18000, 13000, 18000, 13000, 9000});
  b.LineClass(33).Line(10000, 2000, 10000, 19000);
  b.LineClass(64).Line(5000, 12000, 15000, 12500);
  b.End();
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : ".";
  bool ok = Bracket().Save(folder + "/BRACKET.OFI") && Shaft().Save(folder + "/SHAFT.OFI");
  if (!ok) std::cerr << "make_examples: cannot write into " << folder << "\n";
  return ok ? 0 : 1;
}
