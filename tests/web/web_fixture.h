// A status server over a start folder of its own, with a history and a
// status board the test fills by hand.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "history/job_history.h"
#include "job/status_board.h"
#include "temp_folder.h"
#include "web/status_server.h"
#include "web_client.h"

namespace tovrin::test {

class WebServer : public ::testing::Test {
 protected:
  void TearDown() override { server_.reset(); }

  std::string HistoryPath() const { return dir_ / kHistoryFileName; }
  std::string PreviewFolder() const { return dir_ / "preview"; }

  void Serve(web::PoolLimits limits = web::StatusServerOptions::DefaultLimits()) {
    std::filesystem::create_directories(PreviewFolder());
    web::StatusServerOptions options;
    options.address.host = "127.0.0.1";
    options.history_path = HistoryPath();
    options.preview_folder = PreviewFolder();
    options.limits = limits;
    server_ = std::make_unique<web::StatusServer>(board_, options);
    std::string error;
    ASSERT_TRUE(server_->Start(error)) << error;
    port_ = server_->Port();
  }

  // A finished row (or `result`) for drawing `name`, added to the history.
  HistoryRow AddRow(const std::string& name, const std::string& header,
                    const std::string& result = history_result::kFinished) {
    if (!writer_) {
      std::string error;
      writer_ = JobHistory::Open(HistoryPath(), error);
      EXPECT_TRUE(writer_) << error;
    }
    HistoryRow row;
    EXPECT_TRUE(writer_->NewJob(row.job));
    row.started_ms = 1700000000000 + ++rows_ * 1000;
    row.ended_ms = row.started_ms + 500;
    row.drawing = {dir_.path(), name, 1234, 0, 0};
    row.header = header;
    row.result = result;
    EXPECT_TRUE(writer_->Add(row));
    return row;
  }

  TempFolder dir_;
  StatusBoard board_;
  std::unique_ptr<JobHistory> writer_;
  std::unique_ptr<web::StatusServer> server_;
  int port_ = 0;
  int rows_ = 0;
};

}  // namespace tovrin::test
