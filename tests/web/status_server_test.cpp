// The status server over real sockets: methods and codes, the JSON and the
// page with hostile drawing texts, the pictures it will and will not serve.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "batch_process.h"
#include "web/preview_files.h"
#include "web/status_documents.h"
#include "web/text_escape.h"
#include "web_fixture.h"

namespace tovrin::test {
namespace {

using Json = nlohmann::json;

// Bytes a drawing may carry: markup, quotes, a control, invalid UTF-8.
const std::string kHostileHeader = "<script>z=1</scr,ipt>\"\\\x01\xff\xfe";
const std::string kHostileName = "<img src=x onerror=z=3>\xe3\x81.OFI";

TEST_F(WebServer, AnswersGetAndHeadOnly) {
  Serve();
  const std::string page = Get(port_, "/");
  EXPECT_EQ(StatusOf(page), 200);
  EXPECT_EQ(HeaderOf(page, "Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(HeaderOf(page, "Content-Security-Policy").find("script-src 'nonce-"),
            std::string::npos);
  const std::string head = Get(port_, "/", "HEAD");
  EXPECT_EQ(StatusOf(head), 200);
  EXPECT_EQ(BodyOf(head), "");
  EXPECT_EQ(StatusOf(Get(port_, "/api/status")), 200);
  EXPECT_EQ(HeaderOf(Get(port_, "/metrics"), "Content-Type"), web::kMetricsContentType);
  EXPECT_EQ(StatusOf(Get(port_, "/nothing-here")), 404);
  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
    const std::string refused = Get(port_, "/", method);
    EXPECT_EQ(StatusOf(refused), 405) << method;
    EXPECT_EQ(HeaderOf(refused, "Allow"), "GET, HEAD");
  }
  for (const char* bad : {"/api/history?limit=0", "/api/history?limit=1001", "/api/history?limit=x",
                          "/api/history?result=finished"})
    EXPECT_EQ(StatusOf(Get(port_, bad)), 400) << bad;
}

TEST_F(WebServer, JsonKeepsItsShapeWhateverTheBytes) {
  AddRow("A.OFI", "plain");
  AddRow(kHostileName, kHostileHeader, history_result::kFailed);
  board_.Update([](PollerState& s) {
    s.ofi_folder = "/spool/\xff";
    s.results["finished"] = 3;
    s.waiting.push_back({"B.OFI", WaitingDrawing::Why::Settling, ""});
    s.waiting.push_back({"C.OFI", WaitingDrawing::Why::Held, "queue \"stopped\"\n"});
  });
  Serve();
  // parse() refuses invalid UTF-8, so this also proves every string valid.
  const Json status = Json::parse(BodyOf(Get(port_, "/api/status")));
  EXPECT_EQ(status["poller"]["ofi_folder"], "/spool/\xef\xbf\xbd");
  EXPECT_EQ(status["poller"]["results"]["finished"], 3);
  EXPECT_EQ(status["history"]["read"], "ok");
  ASSERT_EQ(status["waiting"].size(), 2u);
  EXPECT_EQ(status["waiting_left_off"], 0);
  EXPECT_EQ(status["waiting"][0]["why"], "settling");
  EXPECT_EQ(status["waiting"][1]["detail"], "queue \"stopped\"\n");

  const Json all = Json::parse(BodyOf(Get(port_, "/api/history?limit=5")));
  ASSERT_EQ(all["rows"].size(), 2u);
  EXPECT_EQ(all["rows"][0]["name"], web::ValidUtf8(kHostileName));  // newest first
  EXPECT_EQ(all["rows"][0]["header"], web::ValidUtf8(kHostileHeader));
  EXPECT_EQ(all["rows"][1]["result"], "finished");
  const Json failed = Json::parse(BodyOf(Get(port_, "/api/history?limit=5&result=failed")));
  ASSERT_EQ(failed["rows"].size(), 1u);
  EXPECT_EQ(failed["rows"][0]["result"], "failed");
  EXPECT_EQ(Json::parse(BodyOf(Get(port_, "/api/history?limit=1")))["rows"].size(), 1u);
}

TEST_F(WebServer, AFolderFullOfWaitingDrawingsIsShownInPart) {
  board_.Update([](PollerState& s) {
    for (int i = 0; i < 1000; ++i)
      s.waiting.push_back({"W" + std::to_string(i) + ".OFI", WaitingDrawing::Why::Settling, ""});
  });
  Serve();
  const Json status = Json::parse(BodyOf(Get(port_, "/api/status")));
  EXPECT_EQ(status["waiting"].size(), web::kMaxWaitingShown);
  EXPECT_EQ(status["waiting_left_off"], 1000 - web::kMaxWaitingShown);
  EXPECT_NE(BodyOf(Get(port_, "/")).find("(1000件)"), std::string::npos);
}

TEST_F(WebServer, PageShowsHostileTextsAsText) {
  AddRow("OLD.OFI", "first");
  AddRow(kHostileName, kHostileHeader, history_result::kLost);
  board_.Update([](PollerState& s) {
    s.waiting.push_back({"<b>W.OFI", WaitingDrawing::Why::Settling, "<i>"});
  });
  Serve();
  const std::string page = BodyOf(Get(port_, "/"));
  EXPECT_EQ(page.find("<script>z"), std::string::npos);
  EXPECT_EQ(page.find("<img src=x"), std::string::npos);
  EXPECT_EQ(page.find("<b>W"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;z=1&lt;/scr,ipt&gt;&quot;\\\xef\xbf\xbd"), std::string::npos);
  EXPECT_NE(page.find("&lt;img src=x onerror=z=3&gt;\xef\xbf\xbd"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;W.OFI</td><td class=\"why\">書き込み中"), std::string::npos);
  // Newest first; the lost delivery is also among the drawings waiting.
  EXPECT_LT(page.find("onerror=z=3"), page.find("OLD.OFI"));
  EXPECT_NE(page.find("<td class=\"why\">ジョブ不明"), std::string::npos);
  EXPECT_NE(page.find("<meta name=\"viewport\""), std::string::npos);
  EXPECT_EQ(page.find("src=\"http"), std::string::npos);  // nothing from elsewhere
}

TEST_F(WebServer, MetricsFollowTheTextFormat) {
  board_.Update([](PollerState& s) {
    s.results["finished"] = 4;
    s.results["odd\"\\\n"] = 1;
    s.bytes_translated = 123456;
    s.deliveries_waiting = 2;
    s.last_listing = 1700000000.5;
    s.waiting.push_back({"A.OFI", WaitingDrawing::Why::Held, ""});
    for (double v : {0.005, 0.2, 0.2, 3.0, 60.0}) s.queued_latency.Observe(v);
  });
  Serve();
  const std::string text = BodyOf(Get(port_, "/metrics"));
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  const std::regex help(R"(# HELP (tovrin_[a-z_]+) [^\n]+)");
  const std::regex type(R"(# TYPE (tovrin_[a-z_]+) (counter|gauge|histogram))");
  const std::regex sample(
      R"((tovrin_[a-z_]+)(\{[a-z_]+="(?:\\.|[^"\\])*"(?:,[a-z_]+="(?:\\.|[^"\\])*")*\})? )"
      R"((NaN|[+-]Inf|-?[0-9]+(?:\.[0-9]+)?(?:e[+-]?[0-9]+)?))");
  std::map<std::string, std::string> types, values;
  std::vector<uint64_t> buckets;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, help)) continue;
    if (std::regex_match(line, m, type)) {
      EXPECT_TRUE(types.emplace(m[1], m[2]).second) << "TYPE twice: " << line;
      continue;
    }
    ASSERT_TRUE(std::regex_match(line, m, sample)) << line;
    const std::string family =
        std::regex_replace(m[1].str(), std::regex("_(bucket|sum|count)$"), "");
    EXPECT_TRUE(types.count(m[1]) || types[family] == "histogram") << "no TYPE before " << line;
    values[m[1].str() + m[2].str()] = m[3];
    if (m[1] == "tovrin_queued_latency_seconds_bucket") buckets.push_back(std::stoull(m[3]));
  }
  EXPECT_EQ(values["tovrin_drawings_total{result=\"finished\"}"], "4");
  EXPECT_EQ(values["tovrin_drawings_total{result=\"odd\\\"\\\\\\n\"}"], "1");
  EXPECT_EQ(values["tovrin_drawings_total{result=\"lost\"}"], "0");
  EXPECT_EQ(values["tovrin_translated_bytes_total"], "123456");
  EXPECT_EQ(values["tovrin_deliveries_waiting"], "2");
  EXPECT_EQ(values["tovrin_drawings_waiting{why=\"held\"}"], "1");
  EXPECT_EQ(values["tovrin_last_listing_timestamp_seconds"], "1700000000.5");
  EXPECT_EQ(values["tovrin_history_up"], "1");
  EXPECT_EQ(types["tovrin_queued_latency_seconds"], "histogram");
  EXPECT_EQ(values["tovrin_queued_latency_seconds_bucket{le=\"0.01\"}"], "1");
  EXPECT_EQ(values["tovrin_queued_latency_seconds_bucket{le=\"0.25\"}"], "3");
  EXPECT_EQ(values["tovrin_queued_latency_seconds_bucket{le=\"10\"}"], "4");
  EXPECT_EQ(values["tovrin_queued_latency_seconds_bucket{le=\"+Inf\"}"], "5");
  EXPECT_EQ(values["tovrin_queued_latency_seconds_count"], "5");
  EXPECT_DOUBLE_EQ(std::stod(values["tovrin_queued_latency_seconds_sum"]), 63.405);
  EXPECT_TRUE(std::is_sorted(buckets.begin(), buckets.end()));  // cumulative
  EXPECT_EQ(buckets.size(), 11u);
}

// Each picture a test swaps after the page listed it as a plain file.
void Plant(const std::string& folder, const std::string& name, const std::string& bytes) {
  std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
}

TEST_F(WebServer, ServesOnlyTheListedDrawingsPictures) {
  for (const char* name : {"A.1.OFI", "LINK.OFI", "FIFO.OFI", "HUGE.OFI", "sub/x.OFI"})
    AddRow(name, "h");
  Serve();
  const std::string folder = PreviewFolder();
  for (const char* picture : {"A.png", "LINK.png", "FIFO.png", "HUGE.png", "secret.png"})
    Plant(folder, picture, std::string("PNG of ") + picture);
  std::filesystem::create_directories(folder + "/sub");
  Plant(folder, "sub/x.png", "below");
  Plant(dir_.path(), "outside.png", "outside");

  const std::string page = BodyOf(Get(port_, "/"));
  EXPECT_NE(page.find("<img loading=\"lazy\" alt=\"\" src=\"/preview/A.png?v="), std::string::npos);
  // Swapped after the page listed them: a link out, a FIFO, a file past the bound.
  std::filesystem::remove(folder + "/LINK.png");
  std::filesystem::create_symlink(dir_ / "outside.png", folder + "/LINK.png");
  std::filesystem::remove(folder + "/FIFO.png");
  ASSERT_EQ(::mkfifo((folder + "/FIFO.png").c_str(), 0644), 0);
  ASSERT_EQ(::truncate((folder + "/HUGE.png").c_str(), web::kMaxPictureBytes + 1), 0);

  const std::string a = Get(port_, "/preview/A.png?v=1");
  EXPECT_EQ(StatusOf(a), 200);
  EXPECT_EQ(HeaderOf(a, "Content-Type"), "image/png");
  EXPECT_EQ(BodyOf(a), "PNG of A.png");
  for (const char* refused :
       {"/preview/LINK.png", "/preview/FIFO.png", "/preview/HUGE.png", "/preview/secret.png",
        "/preview/sub%2Fx.png", "/preview/sub/x.png", "/preview/..%2Foutside.png",
        "/preview/%2e%2e/outside.png", "/preview/../outside.png", "/preview/%2e%2e",
        "/preview//etc/passwd", "/preview/%2Fetc%2Fpasswd", "/preview/", "/../outside.png"}) {
    const std::string answer = Get(port_, refused);
    EXPECT_EQ(StatusOf(answer), 404) << refused;
    EXPECT_EQ(answer.find("outside"), std::string::npos) << refused;
  }
}

TEST_F(WebServer, RefusesAHugeRequestLineWithoutBufferingIt) {
  Serve();
  const std::string line = "GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n";
  EXPECT_EQ(StatusOf(Exchange(port_, line)), 414);
  const web::PoolStats stats = server_->Stats();
  EXPECT_EQ(stats.refused_heads, 1u);
  EXPECT_LE(stats.largest_head, 16u * 1024);
  EXPECT_EQ(StatusOf(Get(port_, "/api/status")), 200);
}

TEST_F(WebServer, IdleConnectionsHoldNoThreadAndCannotLockClientsOut) {
  web::PoolLimits limits = web::StatusServerOptions::DefaultLimits();
  limits.max_connections = 32;
  Serve(limits);
  std::vector<int> idle;
  for (int i = 0; i < 200; ++i) idle.push_back(ConnectTo(port_));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(StatusOf(Get(port_, "/api/status")), 200);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  const web::PoolStats stats = server_->Stats();
  EXPECT_LE(stats.open, 32u);
  EXPECT_GE(stats.evicted, 168u);
  for (int fd : idle) ::close(fd);
}

TEST_F(WebServer, AClientThatStopsReadingLosesItsWorker) {
  web::PoolLimits limits = web::StatusServerOptions::DefaultLimits();
  limits.workers = 1;
  limits.io_wait = std::chrono::milliseconds(300);
  AddRow("BIG.OFI", "h");
  Serve(limits);
  std::filesystem::create_directories(PreviewFolder());
  Plant(PreviewFolder(), "BIG.png", std::string(32 << 20, 'p'));
  EXPECT_NE(BodyOf(Get(port_, "/")).find("/preview/BIG.png"), std::string::npos);
  const int stalled = ConnectTo(port_);
  const std::string request = "GET /preview/BIG.png HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_EQ(::send(stalled, request.data(), request.size(), 0),
            static_cast<ssize_t>(request.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // its worker is writing now
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(StatusOf(Get(port_, "/api/status")), 200);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ::close(stalled);
}

TEST(WebPictures, OnlyPlainNamesOfTheFolderItself) {
  EXPECT_EQ(web::PictureName("A.1.OFI"), "A.png");
  for (const char* name : {"sub/x.OFI", ".OFI", "...OFI", "/etc/passwd"})
    EXPECT_EQ(web::PictureName(name), "") << name;
  TempFolder dir;
  std::filesystem::create_directories(dir / "sub");
  dir.WriteFile("sub/x.png", "below");
  web::OpenedPicture opened;
  EXPECT_FALSE(web::OpenPicture(dir.path(), "sub/x.png", opened));
}

TEST_F(WebServer, TheAddressIsItsAloneAndIsTriedAgain) {
  Serve();
  web::StatusServerOptions options;
  options.address = {"127.0.0.1", port_};
  options.history_path = HistoryPath();
  options.retry = std::chrono::milliseconds(100);
  web::StatusServer second(board_, options);
  std::string error;
  EXPECT_FALSE(second.Start(error));
  EXPECT_NE(error.find("cannot listen on 127.0.0.1:" + std::to_string(port_)), std::string::npos);
  EXPECT_EQ(second.Port(), 0);
  server_.reset();
  EXPECT_TRUE(WaitFor([&] { return second.Port() == port_; }));
  EXPECT_TRUE(WaitFor([&] { return StatusOf(Get(port_, "/api/status")) == 200; }));
}

TEST_F(WebServer, AHistoryReplacedUnderThePageIsReadAgain) {
  Serve();
  EXPECT_EQ(Json::parse(BodyOf(Get(port_, "/api/status")))["history"]["read"], "none");
  EXPECT_FALSE(std::filesystem::exists(HistoryPath()));  // looking creates nothing
  AddRow("FIRST.OFI", "h");
  EXPECT_EQ(Json::parse(BodyOf(Get(port_, "/api/history")))["rows"][0]["name"], "FIRST.OFI");
  // Moved aside with its side files, as an operator does with a corrupt one,
  // and another put in its place.
  writer_.reset();
  TempFolder other;
  {
    std::string error;
    auto history = JobHistory::Open(other / kHistoryFileName, error);
    HistoryRow row;
    row.drawing.name = "SECOND.OFI";
    ASSERT_TRUE(history && history->NewJob(row.job) && history->Add(row)) << error;
  }
  for (const char* side : {"", "-wal", "-shm"})
    if (std::filesystem::exists(HistoryPath() + side))
      std::filesystem::rename(HistoryPath() + side, dir_ / (std::string("old.db") + side));
  std::filesystem::rename(other / kHistoryFileName, HistoryPath());
  // Another limit: not the answer kept for a second.
  EXPECT_EQ(Json::parse(BodyOf(Get(port_, "/api/history?limit=9")))["rows"][0]["name"],
            "SECOND.OFI");
}

}  // namespace
}  // namespace tovrin::test
