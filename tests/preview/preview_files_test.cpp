// The preview folder may be one other users write into: what lies under a
// preview's name is replaced, never written through.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>

#include <filesystem>
#include <set>

#include "glf_text.h"
#include "preview/glf_preview.h"
#include "temp_folder.h"

namespace tovrin::preview {
namespace {

namespace fs = std::filesystem;
using tovrin::test::TempFolder;

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

TEST(PreviewFiles, APlantedLinkOrSecondNameIsReplacedNotWrittenThrough) {
  TempFolder folder;
  TempFolder elsewhere;
  elsewhere.WriteFile("victim", "precious");
  elsewhere.WriteFile("other", "second name");
  fs::create_symlink(elsewhere / "victim", folder / "A.png");
  fs::create_hard_link(elsewhere / "other", folder / "A.svg");
  const std::string glf =
      test::A4Sheet() + "PE<=" + test::Encoded({1000, 1000, 3000, 500}) + ";" + test::kTrailer;
  std::string error;
  PreviewOutcome outcome;
  ASSERT_TRUE(WritePreviewFiles(glf, folder.path(), "A", error, &outcome)) << error;
  EXPECT_TRUE(outcome.svg_written);
  EXPECT_EQ(elsewhere.ReadFile("victim"), "precious");
  EXPECT_EQ(elsewhere.ReadFile("other"), "second name");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "A.png")));
  EXPECT_FALSE(QImage(QString::fromStdString(folder / "A.png")).isNull());
  EXPECT_EQ(fs::hard_link_count(folder / "A.svg"), 1u);
  EXPECT_NE(folder.ReadFile("A.svg").find("<svg"), std::string::npos);

  // A name that cannot be replaced fails the preview and leaves nothing.
  fs::create_directory(folder / "B.png");
  EXPECT_FALSE(WritePreviewFiles(glf, folder.path(), "B", error));
  EXPECT_NE(error.find("B.png"), std::string::npos) << error;
  EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"A.png", "A.svg", "B.png"}));
}

}  // namespace
}  // namespace tovrin::preview
