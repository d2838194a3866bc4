#include "fakes.h"

#include <algorithm>

namespace tovrin::test {
namespace {

class FakeConnection : public PrinterConnection {
 public:
  FakeConnection(FakeSpooler::Document& doc, int job_id) : doc_(doc), job_id_(job_id) {
    doc_.calls.push_back("open");
  }
  ~FakeConnection() override { doc_.calls.push_back("close"); }
  bool StartDocument(const std::string& job_name, const std::string& title, std::string&) override {
    doc_.job_name = job_name;
    doc_.title = title;
    doc_.calls.push_back("start");
    return true;
  }
  bool Write(std::span<const uint8_t> bytes, std::string&) override {
    doc_.bytes.append(bytes.begin(), bytes.end());
    doc_.calls.push_back("write");
    return true;
  }
  bool EndDocument(std::string&) override {
    doc_.calls.push_back("end");
    return true;
  }
  int JobId() const override { return job_id_; }

 private:
  FakeSpooler::Document& doc_;
  int job_id_;
};

}  // namespace

std::unique_ptr<PrinterConnection> FakeSpooler::OpenPrinter(const std::string& name,
                                                            std::string& error) {
  if (std::find(printers.begin(), printers.end(), name) == printers.end()) {
    error = "no such printer";
    return nullptr;
  }
  documents.push_back(Document{name, {}, {}, {}, {}});
  return std::make_unique<FakeConnection>(documents.back(), static_cast<int>(documents.size()));
}

}  // namespace tovrin::test
