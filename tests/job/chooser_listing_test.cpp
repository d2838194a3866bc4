#include "job/chooser_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "drawing_files.h"
#include "job/header_text.h"
#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::OfiBuilder;
using test::SaveDrawing;
using test::TempFolder;

std::vector<std::string> Texts(const std::vector<ChooserEntry>& entries) {
  std::vector<std::string> out;
  for (const ChooserEntry& e : entries) out.push_back(e.text + "|" + e.file_name);
  return out;
}

TEST(ChooserListingTest, ListsNonEmptyFilesWhoseNameHoldsOfiInEitherCase) {
  TempFolder dir;
  // 0x8A 0xC4 0x8C 0x9A is "監建" in code page 932.
  SaveDrawing(dir, "A.OFI",
              "ZU-1\x8a\xc4\x8c\x9a"
              "0001    REV1");
  SaveDrawing(dir, "b.ofi", "B");
  SaveDrawing(dir, "C.Ofi", "C");
  SaveDrawing(dir, "notes-OFI.txt", "N");
  SaveDrawing(dir, "GOFI", "G");
  SaveDrawing(dir, "x.y.OFI", "X");
  SaveDrawing(dir, ".H.OFI", "H");
  dir.WriteFile("X.OFI", "");
  std::filesystem::create_directory(dir / "D.OFI");
  ASSERT_EQ(::mkfifo((dir / "F.OFI").c_str(), 0644), 0);

  EXPECT_EQ(Texts(ListChooserDrawings(dir.path())),
            (std::vector<std::string>{
                "ZU-1監建  0001    ,REV1(A)|A.OFI",
                "G               ,    (GOFI)|GOFI",
                "B               ,    (b)|b.ofi",
                "N               ,    (notes-OFI)|notes-OFI.txt",
                "X               ,    (x)|x.y.OFI",
            }));
}

TEST(ChooserListingTest, ShortFileStillGetsTheFullHeaderPrefix) {
  TempFolder dir;
  dir.WriteFile("S.OFI", std::string(110, '\0') + "AB");
  auto entries = ListChooserDrawings(dir.path());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].text, "  AB            ,    (S)");
}

TEST(ChooserListingTest, MissingFolderListsNothing) {
  TempFolder dir;
  EXPECT_TRUE(ListChooserDrawings(dir / "gone").empty());
}

// Runs the listing without root's power to read any file, reporting the texts
// through a pipe.
std::vector<std::string> ListAsUnprivileged(const std::string& folder) {
  if (::geteuid() != 0) return Texts(ListChooserDrawings(folder));
  int fds[2];
  if (::pipe(fds) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    std::string out;
    for (const std::string& t : Texts(ListChooserDrawings(folder))) out += t + "\n";
    ssize_t n = ::write(fds[1], out.data(), out.size());
    ::_exit(n == static_cast<ssize_t>(out.size()) ? 0 : 3);
  }
  ::close(fds[1]);
  std::string out;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    out.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::vector<std::string> lines;
  for (size_t at = 0, nl; (nl = out.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(out.substr(at, nl - at));
  return lines;
}

TEST(ChooserListingTest, UnreadableFileGetsABlankHeaderAndTheListingGoesOn) {
  TempFolder dir;
  SaveDrawing(dir, "A.OFI", "AAAA");
  SaveDrawing(dir, "B.OFI", "BBBB");
  SaveDrawing(dir, "C.OFI", "CCCC");
  ::chmod(dir.path().c_str(), 0755);
  ::chmod((dir / "B.OFI").c_str(), 0);
  EXPECT_EQ(
      ListAsUnprivileged(dir.path()),
      (std::vector<std::string>{"AAAA            ,    (A)|A.OFI", BlankHeaderText() + "(B)|B.OFI",
                                "CCCC            ,    (C)|C.OFI"}));
}

TEST(ChooserListingTest, ChosenNameIsTheNamePartWithUpperCaseExtension) {
  TempFolder dir;
  for (const char* n :
       {"A.OFI", "A.B.OFI", "C.D.OFI", "b.ofi", "E.ofi", "E.OFI", "notes-OFI.txt", "GOFI"})
    dir.WriteFile(n, "x");
  EXPECT_EQ(ChosenFileName(dir.path(), "A.OFI"), "A.OFI");
  EXPECT_EQ(ChosenFileName(dir.path(), "A.B.OFI"), "A.OFI");
  EXPECT_EQ(ChosenFileName(dir.path(), "E.ofi"), "E.OFI");
  // No such file: the job reports it as missing.
  EXPECT_EQ(ChosenFileName(dir.path(), "C.D.OFI"), "C.OFI");
  EXPECT_EQ(ChosenFileName(dir.path(), "notes-OFI.txt"), "notes-OFI.OFI");
  EXPECT_EQ(ChosenFileName(dir.path(), "GOFI"), "GOFI.OFI");
  // Names differ only in case: the file picked is the file opened.
  EXPECT_EQ(ChosenFileName(dir.path(), "b.ofi"), "b.ofi");
  dir.WriteFile("c.ofi", "x");
  EXPECT_EQ(ChosenFileName(dir.path(), "C.D.OFI"), "c.ofi");
}

TEST(ChooserListingTest, OpensAtTheNearestExistingFolder) {
  TempFolder start, dir;
  std::filesystem::create_directory(dir / "sub");
  dir.WriteFile("A.OFI", "x");
  EXPECT_EQ(OpeningFolder(dir / "sub", start.path()), dir / "sub");
  EXPECT_EQ(OpeningFolder(dir / "sub/gone/deeper/", start.path()), dir / "sub");
  EXPECT_EQ(OpeningFolder(dir / "A.OFI/x", start.path()), dir.path());
  EXPECT_EQ(OpeningFolder("", start.path()), start.path());
  std::filesystem::create_directory(start / "rel");
  EXPECT_EQ(OpeningFolder("rel", start.path()), start / "rel");
  EXPECT_EQ(OpeningFolder("nothing/here", start.path()), start.path());
}

}  // namespace
}  // namespace tovrin
