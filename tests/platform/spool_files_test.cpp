#include "platform/spool_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/spool_names.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

FileStamp Stamp(const std::string& path) {
  std::string error;
  return StampOf(path, error).value_or(FileStamp{});
}

void SetMtime(const std::string& path, int64_t ns) {
  const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1'000'000'000, ns % 1'000'000'000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(CreateTempFile, NeverOpensAPlantedNameAndAlwaysFitsTheNameLimit) {
  test::TempFolder dir;
  test::TempFolder elsewhere;
  elsewhere.WriteFile("victim", "precious");
  fs::create_symlink(elsewhere / "victim", dir / ".SHAFT.GLF.tmp");
  std::string error;
  auto planted = CreateTempFile(dir.path(), ".SHAFT.GLF.tmp", error);
  ASSERT_TRUE(planted) << error;
  ASSERT_EQ(::write(planted->fd, "GLF", 3), 3);
  ::close(planted->fd);
  EXPECT_EQ(elsewhere.ReadFile("victim"), "precious");
  EXPECT_TRUE(fs::is_symlink(dir / ".SHAFT.GLF.tmp"));
  const std::string name = fs::path(planted->path).filename();
  EXPECT_NE(name, ".SHAFT.GLF.tmp");
  EXPECT_TRUE(IsJobTempName(name)) << name;
  EXPECT_EQ(dir.ReadFile(name), "GLF");

  // 1 + 253 + 8 bytes: past the limit, so a short name of the job's own.
  const std::string stem(253, 'S');
  auto long_name = CreateTempFile(dir.path(), "." + stem + ".GLF.tmp", error);
  ASSERT_TRUE(long_name) << error;
  ::close(long_name->fd);
  const std::string short_name = fs::path(long_name->path).filename();
  EXPECT_LE(short_name.size(), NameLimit(dir.path()));
  EXPECT_EQ(short_name.rfind(".tovrin-", 0), 0u) << short_name;

  auto free_name = CreateTempFile(dir.path(), ".A.GLF.tmp", error);
  ASSERT_TRUE(free_name) << error;
  ::close(free_name->fd);
  EXPECT_EQ(free_name->path, dir / ".A.GLF.tmp");
  fs::create_directory(dir / "sub");
  auto no_folder = CreateTempFile(dir.path(), "sub/x", error);  // a name, never a path
  ASSERT_TRUE(no_folder) << error;
  ::close(no_folder->fd);
  EXPECT_EQ(fs::path(no_folder->path).parent_path(), dir.path());
  EXPECT_EQ(NameLimit(dir.path()), 255u);
  EXPECT_EQ(NameLimit(dir / "none"), 255u);
}

TEST(RemoveStaleTemps, RemovesOnlyFilesAndLinksWithJobTempNames) {
  test::TempFolder dir;
  test::TempFolder elsewhere;
  elsewhere.WriteFile("victim", "precious");
  for (const char* name : {".A.GLF.tmp", "..GLF.tmp", ".tovrin-Ab12Cd.tmp", ".tovrin-rm-Xy34Zw",
                           "A.GLF", "A.OFI", "A.GLF.tmp", ".GLF.tmp", ".A.glf.tmp", "tovrin-x"})
    dir.WriteFile(name, "x");
  fs::create_symlink(elsewhere / "victim", dir / ".B.GLF.tmp");
  fs::create_symlink(elsewhere.path(), dir / ".tovrin-dir");  // a link to a folder is a link
  fs::create_directory(dir / ".C.GLF.tmp");
  std::string error;
  EXPECT_EQ(RemoveStaleTemps(dir.path(), error), 5);
  EXPECT_EQ(error, "");
  // What was moved aside to be deleted may be someone's new drawing: it stays.
  EXPECT_EQ(Names(dir.path()),
            (std::set<std::string>{".C.GLF.tmp", ".tovrin-rm-Xy34Zw", "A.GLF", "A.OFI", "A.GLF.tmp",
                                   ".GLF.tmp", ".A.glf.tmp", "tovrin-x"}));
  std::string kept_as;
  ASSERT_TRUE(RestoreAside(dir.path(), ".tovrin-rm-Xy34Zw", kept_as, error)) << error;
  EXPECT_EQ(kept_as, "restored(1).OFI");
  EXPECT_EQ(dir.ReadFile("restored(1).OFI"), "x");
  EXPECT_EQ(elsewhere.ReadFile("victim"), "precious");
  EXPECT_EQ(RemoveStaleTemps(dir / "none", error), 0);
  EXPECT_NE(error, "");
}

TEST(RemoveIfSame, RemovesOnlyTheVeryFileItWasToldOf) {
  test::TempFolder dir;
  dir.WriteFile("A.OFI", "plotted");
  const FileStamp plotted = Stamp(dir / "A.OFI");
  EXPECT_EQ(RemoveIfSame(dir.path(), "A.OFI", plotted).outcome, RemoveOutcome::Removed);
  EXPECT_TRUE(Names(dir.path()).empty());  // nothing left aside
  EXPECT_EQ(RemoveIfSame(dir.path(), "A.OFI", plotted).outcome, RemoveOutcome::Missing);

  // Another drawing under the name after the plot is left, bytes and all:
  // each differs from the plotted one in one thing only.
  dir.WriteFile("B.OFI", "plotted");
  const FileStamp old = Stamp(dir / "B.OFI");
  dir.WriteFile("new", "plotted");  // renamed onto the name: another inode
  SetMtime(dir / "new", old.mtime_ns);
  fs::rename(dir / "new", dir / "B.OFI");
  EXPECT_EQ(RemoveIfSame(dir.path(), "B.OFI", old).outcome, RemoveOutcome::Changed);
  const FileStamp renamed = Stamp(dir / "B.OFI");
  dir.WriteFile("B.OFI", "plotted, then rewritten");  // in place: another size
  SetMtime(dir / "B.OFI", renamed.mtime_ns);
  EXPECT_EQ(RemoveIfSame(dir.path(), "B.OFI", renamed).outcome, RemoveOutcome::Changed);
  const FileStamp rewritten = Stamp(dir / "B.OFI");
  SetMtime(dir / "B.OFI", rewritten.mtime_ns + 1'000'000'000);  // touched
  EXPECT_EQ(RemoveIfSame(dir.path(), "B.OFI", rewritten).outcome, RemoveOutcome::Changed);
  EXPECT_EQ(dir.ReadFile("B.OFI"), "plotted, then rewritten");
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"B.OFI"});

  // A link is never the plotted file, even stamped as itself.
  fs::create_symlink(dir / "B.OFI", dir / "L.OFI");
  EXPECT_EQ(RemoveIfSame(dir.path(), "L.OFI", Stamp(dir / "L.OFI")).outcome,
            RemoveOutcome::Changed);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"B.OFI", "L.OFI"}));
  EXPECT_EQ(RemoveIfSame(dir / "none", "B.OFI", old).outcome, RemoveOutcome::Failed);
}

// What was moved aside goes back without replacing a file that took its
// name meanwhile; it then gets a drawing's name of its own.
TEST(RemoveIfSame, PutsBackWithoutReplacingAnything) {
  test::TempFolder dir;
  const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  dir.WriteFile(".tovrin-rm-1", "moved aside");
  RemoveResult back;
  spool::PutBack(fd, ".tovrin-rm-1", "A.OFI", back);
  EXPECT_EQ(back.outcome, RemoveOutcome::Changed);
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"A.OFI"});

  fs::rename(dir / "A.OFI", dir / ".tovrin-rm-2");
  dir.WriteFile("A.OFI", "arrived meanwhile");
  dir.WriteFile("A(1).OFI", "another");
  RemoveResult stranded;
  spool::PutBack(fd, ".tovrin-rm-2", "A.OFI", stranded);
  EXPECT_EQ(stranded.outcome, RemoveOutcome::Stranded);
  EXPECT_EQ(stranded.kept_as, "A(2).OFI");
  EXPECT_NE(stranded.error.find("A(2).OFI"), std::string::npos) << stranded.error;
  EXPECT_EQ(dir.ReadFile("A.OFI"), "arrived meanwhile");
  EXPECT_EQ(dir.ReadFile("A(1).OFI"), "another");
  EXPECT_EQ(dir.ReadFile("A(2).OFI"), "moved aside");

  // Where the file system has no RENAME_NOREPLACE: link refuses to replace.
  EXPECT_EQ(spool::MoveByLink(fd, "A(2).OFI", "A.OFI"), EEXIST);
  EXPECT_EQ(spool::MoveByLink(fd, "A(2).OFI", "A(3).OFI"), 0);
  EXPECT_EQ(dir.ReadFile("A.OFI"), "arrived meanwhile");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"A.OFI", "A(1).OFI", "A(3).OFI"}));
  ::close(fd);

  EXPECT_EQ(spool::NumberedName("X", "1", 255), "X(1)");
  // 245 + 3 + 1 bytes of stem, cut to 247 inside the character: it goes whole.
  const std::string cut =
      spool::NumberedName(std::string(245, 'N') + "\xE5\x9B\xB3X.OFI", "12", 255);
  EXPECT_EQ(cut, std::string(245, 'N') + "(12).OFI");
}

TEST(RemoveEntry, RemovesALinkItselfAndLeavesAFolder) {
  test::TempFolder dir;
  dir.WriteFile("target", "kept");
  fs::create_symlink(dir / "target", dir / "A.GLF");
  fs::create_directory(dir / "B.GLF");
  std::string error;
  EXPECT_TRUE(RemoveEntry(dir.path(), "A.GLF", error)) << error;
  EXPECT_TRUE(RemoveEntry(dir.path(), "none", error)) << error;
  EXPECT_FALSE(RemoveEntry(dir.path(), "B.GLF", error));
  EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"B.GLF", "target"}));
}

}  // namespace
}  // namespace tovrin
