// Drawings for the status page's browser test, written into FOLDER: plain
// ones, ones whose header or file name is markup, and one cut short.
//   tovrin-web-drawings FOLDER
#include <cstdio>
#include <string>

#include "drawing_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tovrin-web-drawings FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  using tovrin::test::LinesDrawing;
  using tovrin::test::WriteBytes;
  WriteBytes(folder + "/PLAN-A.OFI", LinesDrawing("PLAN-A"));
  WriteBytes(folder + "/PLAN-B.OFI", LinesDrawing("PLAN-B", 400));
  // Shown as "<script>z=1</scr,ipt>" and "<svg onload=z=2>,1234".
  WriteBytes(folder + "/SCRIPT.OFI", LinesDrawing("<script>z=1</script>"));
  WriteBytes(folder + "/SVG.OFI", LinesDrawing("<svg onload=z=2>1234"));
  WriteBytes(folder + "/<img src=x onerror=z=3>.OFI", LinesDrawing("IMG"));
  const std::vector<uint8_t> cut = LinesDrawing("CUT");
  WriteBytes(folder + "/CUT.OFI", cut, 0, cut.size() - 8);
  return 0;
}
