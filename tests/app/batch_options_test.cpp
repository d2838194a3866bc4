#include "app/batch_options.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/version.h"

namespace tovrin {
namespace {

BatchCommandLine Parse(const std::vector<const char*>& args) {
  std::vector<const char*> argv = {"tovrin-batch"};
  argv.insert(argv.end(), args.begin(), args.end());
  return ParseBatchCommandLine(static_cast<int>(argv.size()), argv.data());
}

using Action = BatchCommandLine::Action;

TEST(BatchOptions, DefaultsWithoutArguments) {
  BatchCommandLine c = Parse({});
  ASSERT_EQ(c.action, Action::Run) << c.text;
  EXPECT_FALSE(c.options.config);
  EXPECT_TRUE(c.options.sets.empty());
  EXPECT_FALSE(c.options.watch_seconds);
  EXPECT_EQ(c.options.settle_seconds, 2);
  EXPECT_FALSE(c.options.preview_folder);
  EXPECT_FALSE(c.options.history_rows);
  EXPECT_EQ(c.options.wait_delivered_seconds, 120);
}

TEST(BatchOptions, EveryOptionLandsInTheStruct) {
  BatchCommandLine c = Parse({"--config", "/etc/tovrin.sys", "--set", "OfiOut=プロッタ", "--set",
                              "OfiFEnd=消去", "--set", "Hprn=", "--watch", "2.5", "--settle", "0",
                              "--preview", "pics", "--wait-delivered=30"});
  ASSERT_EQ(c.action, Action::Run) << c.text;
  EXPECT_EQ(c.options.config, "/etc/tovrin.sys");
  using Set = std::pair<std::string, std::string>;
  EXPECT_EQ(c.options.sets,
            (std::vector<Set>{{"OfiOut", "ﾌﾟﾛｯﾀ"}, {"OfiFEnd", "消去"}, {"Hprn", ""}}));
  EXPECT_EQ(c.options.watch_seconds, 2.5);
  EXPECT_EQ(c.options.settle_seconds, 0);
  EXPECT_EQ(c.options.preview_folder, "pics");
  EXPECT_EQ(c.options.wait_delivered_seconds, 30);

  EXPECT_EQ(Parse({"--history"}).options.history_rows, 20);
  EXPECT_EQ(Parse({"--history", "5"}).options.history_rows, 5);
  EXPECT_EQ(Parse({"--history", "--set", "LineL=4"}).options.history_rows, 20);
}

TEST(BatchOptions, UsageErrorsSayWhatIsWrong) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"--set", "OfiFEnd=keep"}, "保存, 消去"},
      {{"--set", "OfiS"}, "KEY=VALUE"},
      {{"--set", "Nonsense=1"}, "Nonsense"},
      {{"--set", "LineL=16"}, "0 to 15"},
      {{"--set", "OfiFEnd=保存", "OfiOut=ﾌｧｲﾙ"}, "OfiOut"},  // one pair per --set
      {{"--watch", "1e400"}, "plain decimal"},
      {{"--watch", "0.4"}, "0.5 to 86400"},
      {{"--watch", "86401"}, "--watch"},
      {{"--watch", "2s"}, "--watch"},
      {{"--watch", "-1"}, "--watch"},
      {{"--watch"}, "--watch"},
      {{"--settle", "3601"}, "0 to 3600"},
      {{"--settle", "1e2"}, "--settle"},
      {{"--wait-delivered", "nan"}, "--wait-delivered"},
      {{"--history", "0"}, "--history"},
      {{"--history", "2.5"}, "--history"},
      {{"--config", ""}, "--config"},
      {{"--preview", ""}, "--preview"},
      {{"--bogus"}, "--bogus"},
      {{"AUTO"}, "AUTO"},
  };
  for (const auto& [args, says] : cases) {
    BatchCommandLine c = Parse(args);
    EXPECT_EQ(c.action, Action::UsageError) << args[0];
    EXPECT_NE(c.text.find(says), std::string::npos) << args[0] << ": " << c.text;
  }
}

TEST(BatchOptions, HelpListsEveryOptionAndVersionIsTheProjects) {
  BatchCommandLine help = Parse({"--help"});
  ASSERT_EQ(help.action, Action::Help);
  for (const char* option : {"--config", "--set", "--watch", "--settle", "--preview", "--history",
                             "--wait-delivered", "--help", "--version", "Exit status"})
    EXPECT_NE(help.text.find(option), std::string::npos) << option;
  BatchCommandLine version = Parse({"--version"});
  ASSERT_EQ(version.action, Action::Version);
  EXPECT_EQ(version.text, std::string("tovrin-batch ") + TOVRIN_VERSION);
}

}  // namespace
}  // namespace tovrin
