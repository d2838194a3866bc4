// Texts the job shows or compares, exactly as the users know them.
#pragma once

namespace tovrin::texts {

inline constexpr const char* kPlotting = "　出図中";
inline constexpr const char* kFinished = "　出図終了";
inline constexpr const char* kStopped = "　出図中止";
inline constexpr const char* kNoDrawings = "図面が無いか、サイズが0です";

// Reason lines: indented below the drawing's line.
inline constexpr const char* kReasonIndent = "　　";
inline constexpr const char* kIncomplete = "図面が終わりまでありません (終了マークが無い)";
inline constexpr const char* kBadSettings = "設定が正しくありません: ";
inline constexpr const char* kFolderUnreadable = "ＯＦＩフォルダが開けません: ";
inline constexpr const char* kFolderBusy = "別のプログラムがこのフォルダを出図中です: ";
inline constexpr const char* kVanished = " は読む前に無くなりました";
inline constexpr const char* kStillBeingWritten = " は書き込み中のため残しました";
inline constexpr const char* kChangedWhileRead = " は読み取り中に変わったため残しました";
inline constexpr const char* kUnreadable = " が読めません (";
inline constexpr const char* kGlfTaken = " はこのジョブの別の図面が使っています";
inline constexpr const char* kGlfTooLarge = "GLF が大きすぎます (上限 ";
inline constexpr const char* kCannotCreate = " が作れません (";
inline constexpr const char* kCannotWrite = " が書けません (";
inline constexpr const char* kCannotDelete = " が消せません (";
inline constexpr const char* kPrinterCannotOpen = "プリンタが開けません: ";
inline constexpr const char* kPrinterRefused = "プリンタが文書を受け付けません: ";
inline constexpr const char* kPrinterWriteFailed = "プリンタへの送信に失敗しました: ";
inline constexpr const char* kGlfUnreadable = "GLF が読めません: ";
inline constexpr const char* kDeliveryFailed =
    "プリンタのジョブが終わりませんでした。図面は残します: ";
inline constexpr const char* kDeliveryWaiting =
    "プリンタのジョブが完了していません。図面は残します: ";
inline constexpr const char* kHistoryFailed = "ジョブ履歴が使えません。出図も削除もしません (";

inline constexpr const char* kDocumentTitle = "Test";

}  // namespace tovrin::texts
