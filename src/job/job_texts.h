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
inline constexpr const char* kNoPrinter =
    "出力先のプリンタが決まりません。Hprn にキューの名前を設定するか、"
    "OfiOut=ﾌｧｲﾙ で GLF をフォルダに残してください";
inline constexpr const char* kPrinterRefused = "プリンタが文書を受け付けません: ";
inline constexpr const char* kPrinterWriteFailed = "プリンタへの送信に失敗しました: ";
inline constexpr const char* kGlfUnreadable = "GLF が読めません: ";
inline constexpr const char* kDeliveryFailed =
    "プリンタのジョブが終わりませんでした。図面は残します: ";
inline constexpr const char* kDeliveryCompleted = "プリンタのジョブが完了しました: ";
inline constexpr const char* kDeliveryWaiting =
    "プリンタのジョブが完了していません。図面は残します: ";
inline constexpr const char* kRestored =
    "止められたジョブが消す途中だったファイルを次の名前で戻しました: ";
inline constexpr const char* kCannotPutBack = " を元の名前に戻せないため次の名前で残しました: ";
inline constexpr const char* kReplacedMeanwhile = " は出図の後に置き換わったため消さずに残しました";
inline constexpr const char* kLeftPlotted =
    " は出図済みで、消す前に残っていました。出図し直さずに消します";
inline constexpr const char* kSymlink = "シンボリックリンクは出図しません";
inline constexpr const char* kDeliveryLost =
    "プリンタのジョブが分からなくなりました。図面は残し、出図し直しません: ";
inline constexpr const char* kSpoolerBehind =
    "プリンタのジョブが溜まっているため、残りの図面は次に回します。完了待ちのジョブ: ";
inline constexpr const char* kResent = "前回の送信が途中で止まったため、送り直します: ";
inline constexpr const char* kFolderNotSynced =
    "ＯＦＩフォルダをディスクに書き込めません。この図面は残します (";

// The job history cannot be relied on: nothing is plotted or deleted.
inline constexpr const char* kHistoryFailed = "ジョブ履歴が使えません。出図も削除もしません (";
inline constexpr const char* kHistoryBack = "ジョブ履歴がまた使えます";
// Drawings cannot carry the mark of their plot here.
inline constexpr const char* kNoPlotMarks =
    "図面に出図の印を付けられません。二重出図を防ぐのはジョブ履歴だけです (";
inline constexpr const char* kMarkUnreadable = " の出図の印が読めないため残しました (";
inline constexpr const char* kMarkUnwritable = " に出図の印を付けられません (";
inline constexpr const char* kThreadNote = "スレッドが使えないため一つのスレッドで出図します (";

inline constexpr const char* kDocumentTitle = "Test";

}  // namespace tovrin::texts
