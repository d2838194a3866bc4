// `tovrin-batch --preview` on a drawing too dense for an SVG: the PNG is
// made, the SVG is not, and stderr says why.
#ifdef TOVRIN_BATCH_PATH

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ofi_builder.h"
#include "preview/glf_preview.h"
#include "preview/preview_texts.h"
#include "temp_folder.h"

namespace tovrin::preview {
namespace {

using tovrin::test::OfiBuilder;
using tovrin::test::TempFolder;

int RunBatch(const TempFolder& folder, const std::string& args) {
  const std::string command =
      "cd '" + folder.path() + "' && '" TOVRIN_BATCH_PATH "' " + args + " >out.txt 2>err.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BatchPreview, ADrawingTooDenseForAnSvgGetsItsPngAndAStderrLine) {
  TempFolder folder;
  OfiBuilder dense;
  dense.Header("DENSE").Scale(10).SheetRecord(29700, 21000, 29700, 21000);
  // Strokes that never join: two points each, past the SVG's limit.
  for (size_t i = 0; i <= kMaxSvgPoints / 2; ++i) {
    const int x = 1000 + static_cast<int>(i % 250) * 100,
              y = 1000 + static_cast<int>(i / 250 % 180) * 100;
    dense.Line(x, y, x + 60, y + 30);
  }
  dense.End().Save(folder / "DENSE.OFI");
  OfiBuilder().Header("SMALL").Line(100, 100, 2000, 900).End().Save(folder / "SMALL.OFI");

  ASSERT_EQ(RunBatch(folder, "--set 'OfiOut=ﾌｧｲﾙ' --settle 0 --preview pv"), 0)
      << folder.ReadFile("err.txt");
  EXPECT_TRUE(std::filesystem::exists(folder / "pv/DENSE.png"));
  EXPECT_FALSE(std::filesystem::exists(folder / "pv/DENSE.svg"));
  EXPECT_TRUE(std::filesystem::exists(folder / "pv/SMALL.png"));
  EXPECT_TRUE(std::filesystem::exists(folder / "pv/SMALL.svg"));
  const std::string err = folder.ReadFile("err.txt");
  EXPECT_NE(err.find("tovrin-batch: preview: pv/DENSE.svg" + std::string(texts::kSvgSkipped) +
                     texts::kPictureTooBig),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("SMALL"), std::string::npos) << err;
}

}  // namespace
}  // namespace tovrin::preview

#endif
