// Texts of the status page, in the words of the desktop program's 出図履歴
// window where it has them.
#pragma once

namespace tovrin::web::texts {

inline constexpr const char* kTitle = "出図状況";
inline constexpr const char* kHistoryTitle = "出図履歴";
inline constexpr const char* kWaitingTitle = "待っている図面";
inline constexpr const char* kPollerTitle = "出図プログラム";

// The poller's state.
inline constexpr const char* kOfiFolder = "ＯＦＩフォルダ";
inline constexpr const char* kStartFolder = "開始フォルダ";
inline constexpr const char* kPrinter = "プリンタ";
inline constexpr const char* kStarted = "起動";
inline constexpr const char* kLastListing = "前回の確認";
inline constexpr const char* kNextListing = "次回の確認";
inline constexpr const char* kHistoryHealth = "ジョブ履歴";
inline constexpr const char* kHistoryOk = "正常";
inline constexpr const char* kHistoryFault = "使えません: ";
inline constexpr const char* kNoHistory = "履歴はまだありません";
inline constexpr const char* kCannotOpen = "履歴を開けません: ";
inline constexpr const char* kLastDrawing = "最後の図面";
inline constexpr const char* kDefaultPrinter = "（既定のプリンタ）";
inline constexpr const char* kNotYet = "まだありません";
inline constexpr const char* kNothingWaiting = "待っている図面はありません";
inline constexpr const char* kRows = "件";
inline constexpr const char* kUpdated = "更新 ";
inline constexpr const char* kOffline = "接続できません。再接続を待っています";

// The history table: the picture, then the window's headings.
inline constexpr const char* kHeadings[] = {"イメージ", "開始",   "終了", "ファイル",
                                            "図面",     "OFI",    "GLF",  "結果",
                                            "プリンタ", "ジョブ", "状態", "理由"};
inline constexpr const char* kWaitingHeadings[] = {"ファイル", "待ちの理由", "詳細"};

// Why a drawing waits.
inline constexpr const char* kSettling = "書き込み中";
inline constexpr const char* kIncomplete = "図面不完全";
inline constexpr const char* kWithSpooler = "プリンタ処理中";
inline constexpr const char* kHeld = "保留";
inline constexpr const char* kLost = "ジョブ不明";
inline constexpr const char* kFailed = "出図せず残し";
inline constexpr const char* kSending = "送信中";

}  // namespace tovrin::web::texts
