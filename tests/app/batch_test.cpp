// tovrin-batch end to end, as other tools drive it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "app/version.h"
#include "ofi_builder.h"
#include "platform/cp932.h"
#include "run_command.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::OfiBuilder;
using test::TempFolder;

using BatchRun = test::CommandRun;

// Runs tovrin-batch in `folder` with the arguments (already quoted); stderr
// goes into the output unless `stderr_to` names a file for it.
BatchRun RunBatch(const TempFolder& folder, const std::string& args,
                  const std::string& stderr_to = "&1", const std::string& env = "") {
  return test::RunCommand("cd '" + folder.path() + "' && " + env + "'" TOVRIN_BATCH_PATH "' " +
                          args + " 2>" + stderr_to);
}

// Drawings written just before the run count as settled.
const std::string kKeepGlf = "--set 'OfiOut=ﾌｧｲﾙ' --settle 0 ";

TEST(Batch, PlotsTheFolderAndPrintsTheFinalLines) {
  TempFolder dir;
  OfiBuilder().Header("PART-1").Copies(2).End().Save(dir / "P1.OFI");
  OfiBuilder().Header("PART-2").End().Save(dir / "P2.ofi");
  BatchRun r = RunBatch(dir, kKeepGlf + "--set OfiFMen=手動");
  EXPECT_EQ(r.status, 0) << r.out;
  // Each final line names its file.
  EXPECT_EQ(r.out,
            "PART-1          ,    　出図終了  P1.OFI\nPART-2          ,    　出図終了  P2.ofi\n");
  EXPECT_EQ(dir.ReadFile("P1.GLF"), "\x1b%-1BBPINPUSP0PGRP1;\033E");
  EXPECT_TRUE(dir.Exists("P2.ofi"));  // kept by default
  EXPECT_FALSE(dir.Exists("Tovrin.sys"));
  EXPECT_FALSE(dir.Exists("Tovrin.wok"));
}

TEST(Batch, NothingToPlotIsSuccess) {
  TempFolder dir;
  BatchRun r = RunBatch(dir, kKeepGlf);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "図面が無いか、サイズが0です\n");
}

TEST(Batch, OfiFolderFromSetAndDeletion) {
  TempFolder dir, spool;
  OfiBuilder().End().Save(spool / "A.OFI");
  BatchRun r = RunBatch(dir, kKeepGlf + "--set 'OfiFile=" + spool.path() + "' --set OfiFEnd=消去");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(spool.Exists("A.OFI"));
  EXPECT_TRUE(spool.Exists("A.GLF"));
}

TEST(Batch, JobFailureExitsOne) {
  TempFolder dir;
  BatchRun r = RunBatch(dir, kKeepGlf + "--set OfiFile=/nonexistent/spool");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("/nonexistent/spool"), std::string::npos);
}

TEST(Batch, UsageErrorsExitTwo) {
  TempFolder dir;
  EXPECT_EQ(RunBatch(dir, "--set Nonsense=1").status, 2);
  EXPECT_EQ(RunBatch(dir, "--set OfiS").status, 2);
  EXPECT_EQ(RunBatch(dir, "--watch").status, 2);
  EXPECT_EQ(RunBatch(dir, "--watch soon").status, 2);
  EXPECT_EQ(RunBatch(dir, "--watch 0.2").status, 2);  // a poll this often is a mistake
  EXPECT_EQ(RunBatch(dir, "--bogus").status, 2);
  EXPECT_EQ(RunBatch(dir, "--set OfiTop=99999").status, 2);
  EXPECT_EQ(RunBatch(dir, "--watch 1e400").status, 2);  // not a day-long wait, nor forever
  EXPECT_EQ(RunBatch(dir, "--watch 0.1").status, 2);
  EXPECT_EQ(RunBatch(dir, "--settle 5x").status, 2);
  EXPECT_FALSE(dir.Exists("Tovrin.wok"));
}

TEST(Batch, AValueOutsideItsListIsAUsageErrorAndTheDrawingStays) {
  TempFolder dir;
  OfiBuilder().End().Save(dir / "A.OFI");
  const std::string before = dir.ReadFile("A.OFI");
  BatchRun r = RunBatch(dir, kKeepGlf + "--set OfiFEnd=keep");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("OfiFEnd takes one of 保存, 消去"), std::string::npos) << r.out;
  EXPECT_EQ(dir.ReadFile("A.OFI"), before);
  EXPECT_FALSE(dir.Exists("A.GLF"));
}

TEST(Batch, Utf8SettingsFileKeepsTheDrawing) {
  TempFolder dir;
  OfiBuilder().End().Save(dir / "A.OFI");
  dir.WriteFile("Tovrin.sys",
                "OfiOut=ﾌｧｲﾙ  * GLFﾌｧｲﾙの出力先\r\nOfiFEnd=保存  * 終了ﾌｧｲﾙの処理\r\n");
  BatchRun r = RunBatch(dir, "", dir / "err.txt");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(dir.Exists("A.OFI"));
  EXPECT_TRUE(dir.Exists("A.GLF"));
  EXPECT_NE(dir.ReadFile("err.txt").find("UTF-8"), std::string::npos) << dir.ReadFile("err.txt");
}

TEST(Batch, FullWidthPlotterValueIsThePlotter) {
  TempFolder dir;
  OfiBuilder().End().Save(dir / "A.OFI");
  // The queue does not exist: what counts is that delivery is tried (and
  // fails) rather than the GLF kept as a finished drawing, as ﾌｧｲﾙ would.
  BatchRun r = RunBatch(dir, "--set 'OfiOut=プロッタ' --set Hprn=no-such-plotter-queue");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("　出図中止"), std::string::npos) << r.out;
  EXPECT_TRUE(dir.Exists("A.OFI"));

  // No queue named and no CUPS to ask for a default: the line says which
  // setting to set.
  BatchRun unnamed = RunBatch(dir, "--set 'OfiOut=プロッタ' --settle 0", "&1",
                              "CUPS_SERVER=/nonexistent/cups.sock ");
  EXPECT_NE(unnamed.out.find("Hprn にキューの名前を設定するか、OfiOut=ﾌｧｲﾙ"), std::string::npos)
      << unnamed.out;
  EXPECT_TRUE(dir.Exists("A.OFI"));
}

TEST(Batch, SettingsFileProblemsAreWarnings) {
  TempFolder dir;
  const std::string file =
      *ToCp932("OfiOut=ﾌｧｲﾙ\r\nOfiFEnd=消去  *\r\n");  // line 1 stops the reading
  dir.WriteFile("Tovrin.sys", file);
  OfiBuilder().End().Save(dir / "A.OFI");
  BatchRun r = RunBatch(dir, kKeepGlf, dir / "err.txt");
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string err = dir.ReadFile("err.txt");
  EXPECT_NE(err.find("1行目"), std::string::npos) << err;
  EXPECT_NE(err.find("\"OfiOut=ﾌｧｲﾙ\""), std::string::npos) << err;
  EXPECT_TRUE(dir.Exists("A.OFI"));  // 消去 came after the bad line
  EXPECT_EQ(dir.ReadFile("Tovrin.sys"), file);
}

TEST(Batch, ConfigThatCannotBeReadIsAUsageError) {
  TempFolder dir;
  OfiBuilder().End().Save(dir / "A.OFI");
  BatchRun r = RunBatch(dir, kKeepGlf + "--config /missing/Tovrin.sys");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("/missing/Tovrin.sys"), std::string::npos) << r.out;
  EXPECT_FALSE(dir.Exists("A.GLF"));
  EXPECT_EQ(RunBatch(dir, kKeepGlf + "--config .").status, 2);  // a folder

  dir.WriteFile("other.sys", *ToCp932("OfiOut=ﾌｧｲﾙ  *\r\n"));
  r = RunBatch(dir, "--config other.sys");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(dir.Exists("A.GLF"));
}

TEST(Batch, HelpAndVersion) {
  TempFolder dir;
  BatchRun help = RunBatch(dir, "--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--config", "--set", "--watch", "--settle", "--preview", "--history",
                             "--wait-delivered", "--version"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  BatchRun version = RunBatch(dir, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tovrin-batch " TOVRIN_VERSION "\n");
  EXPECT_FALSE(dir.Exists("Tovrin.sys"));
}

TEST(Batch, WatchRepeatsUntilTerminated) {
  TempFolder dir;
  OfiBuilder().End().Save(dir / "A.OFI");
  // Two jobs 0.5 s apart, then SIGTERM ends the wait.
  BatchRun r = RunBatch(dir, kKeepGlf +
                                 "--set OfiFEnd=消去 --watch 0.5 & pid=$!; sleep 0.8; "
                                 "kill -TERM $pid; wait $pid");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("                ,    　出図終了  A.OFI\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("図面が無いか、サイズが0です\n"), std::string::npos);
}

TEST(Batch, HistoryShowsTheLastRowsNewestLastAndCreatesNoDatabase) {
  TempFolder dir;
  BatchRun empty = RunBatch(dir, "--history");
  EXPECT_EQ(empty.status, 0) << empty.out;
  EXPECT_EQ(std::count(empty.out.begin(), empty.out.end(), '\n'), 1) << empty.out;  // the heading
  EXPECT_FALSE(dir.Exists("Tovrin.db"));

  OfiBuilder().Header("FIRST").End().Save(dir / "A.OFI");
  OfiBuilder().Header("SECOND").Save(dir / "B.OFI");  // cut short
  EXPECT_EQ(RunBatch(dir, kKeepGlf).status, 1);
  BatchRun all = RunBatch(dir, "--history");
  EXPECT_EQ(all.status, 0);
  const size_t first = all.out.find("A.OFI"), second = all.out.find("B.OFI");
  ASSERT_NE(first, std::string::npos) << all.out;
  ASSERT_NE(second, std::string::npos) << all.out;
  EXPECT_LT(first, second);  // newest last
  EXPECT_NE(all.out.find("finished"), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("incomplete"), std::string::npos) << all.out;
  BatchRun last = RunBatch(dir, "--history 1");
  EXPECT_EQ(last.out.find("A.OFI"), std::string::npos) << last.out;
  EXPECT_NE(last.out.find("B.OFI"), std::string::npos) << last.out;
  BatchRun failed = RunBatch(dir, "--history --only failed");
  EXPECT_EQ(failed.out.find("A.OFI"), std::string::npos) << failed.out;
  EXPECT_NE(failed.out.find("B.OFI"), std::string::npos) << failed.out;
  BatchRun waiting = RunBatch(dir, "--history --only waiting");
  EXPECT_EQ(std::count(waiting.out.begin(), waiting.out.end(), '\n'), 1) << waiting.out;
  EXPECT_EQ(RunBatch(dir, "--only failed").status, 2);  // only with --history
  EXPECT_EQ(RunBatch(dir, "--history --only old").status, 2);
}

// The administrator's tools: what would stop a job, and a kept drawing
// made plottable again.
TEST(Batch, CheckAndReleaseSayWhatTheyFound) {
  TempFolder dir;
  BatchRun fresh = RunBatch(dir, kKeepGlf + "--check");
  EXPECT_EQ(fresh.status, 0) << fresh.out;
  EXPECT_NE(fresh.out.find("ok    job history: none yet"), std::string::npos) << fresh.out;
  BatchRun no_queue =
      RunBatch(dir, "--set 'OfiOut=ﾌﾟﾛｯﾀ' --set Hprn=no-such-plotter-queue --check");
  EXPECT_EQ(no_queue.status, 1) << no_queue.out;
  EXPECT_NE(no_queue.out.find("FAIL  printer"), std::string::npos) << no_queue.out;

  OfiBuilder().Header("CUT").Save(dir / "B.OFI");  // cut short: kept
  EXPECT_EQ(RunBatch(dir, kKeepGlf).status, 1);
  BatchRun released = RunBatch(dir, "--release B.OFI " + (dir / "NONE.OFI"));
  EXPECT_EQ(released.status, 1) << released.out;  // NONE.OFI is not there
  EXPECT_NE(released.out.find("B.OFI: released (was incomplete)"), std::string::npos)
      << released.out;
  EXPECT_NE(released.out.find("NONE.OFI: cannot be read"), std::string::npos) << released.out;
  EXPECT_NE(RunBatch(dir, "--history 1").out.find("released"), std::string::npos);

  dir.WriteFile("Tovrin.db", std::string(8192, 'x'));  // no database at all
  BatchRun broken = RunBatch(dir, kKeepGlf + "--check");
  EXPECT_EQ(broken.status, 1) << broken.out;
  EXPECT_NE(broken.out.find("FAIL  job history"), std::string::npos) << broken.out;
  EXPECT_EQ(RunBatch(dir, "--check --history").status, 2);
  EXPECT_EQ(RunBatch(dir, "--release B.OFI --watch 1").status, 2);
}

}  // namespace
}  // namespace tovrin
