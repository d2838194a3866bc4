#include "web/status_labels.h"

#include <map>

#include "history/job_history.h"
#include "web/web_texts.h"

namespace tovrin::web {
namespace {

std::string Find(const std::map<std::string, std::string>& labels, const std::string& key) {
  auto it = labels.find(key);
  return it != labels.end() ? it->second : key;
}

}  // namespace

std::string ResultLabel(const std::string& result) {
  namespace r = history_result;
  static const std::map<std::string, std::string> kLabels = {
      {r::kPlotting, "出図中"},       {r::kSending, "送信中"},   {r::kDelivering, "送信中"},
      {r::kFinished, "出図終了"},     {r::kAborted, "出図中止"}, {r::kRejected, "出図不可"},
      {r::kIncomplete, "図面不完全"}, {r::kFailed, "出力失敗"},  {r::kLost, "ジョブ不明"},
      {r::kReleased, "再出図待ち"}};
  return Find(kLabels, result);
}

std::string CupsStateLabel(const std::string& state) {
  static const std::map<std::string, std::string> kLabels = {
      {"pending", "待機中"},          {"pending-held", "保留"}, {"processing", "処理中"},
      {"processing-stopped", "停止"}, {"canceled", "取消"},     {"aborted", "中断"},
      {"completed", "完了"}};
  return Find(kLabels, state);
}

std::string WhyLabel(const std::string& why) {
  static const std::map<std::string, std::string> kLabels = {{"settling", texts::kSettling},
                                                             {"incomplete", texts::kIncomplete},
                                                             {"with_spooler", texts::kWithSpooler},
                                                             {"held", texts::kHeld},
                                                             {"lost", texts::kLost},
                                                             {"failed", texts::kFailed}};
  return Find(kLabels, why);
}

}  // namespace tovrin::web
