// User-visible texts shared by several steps, byte for byte as the window shows them.
#pragma once

namespace korvane::text {

inline constexpr char kAppTitle[] = "Korvane";
inline constexpr char kCaption[] = "Korvane β1";

// Outcome panel.
inline constexpr char kReadErrorNotice[] = "リードエラーのファイルがあります";
inline constexpr char kNotCopied[] = "正しくコピーされていません";
inline constexpr char kSuccess[] = "正常に終了しました";

// Command panel; read back as the current mode.
inline constexpr char kCmdCompare[] = "比較";
inline constexpr char kCmdCalcMd5[] = "MD5計算";
inline constexpr char kCmdLoadCompare[] = "MD5読込-比較";
inline constexpr char kCmdReadTest[] = "リードエラーテスト";
inline constexpr char kCmdCsv[] = "CSV出力";

// Verdicts in ResultText.
inline constexpr char kReadError[] = "Read Error";
inline constexpr char kOK[] = "OK";
inline constexpr char kFileNotFound[] = "File Not Found";

// The disc exchange of the one-drive comparison.
inline constexpr char kExchangePrompt[] = "コピーCDと入れ替えてください";
inline constexpr char kWaitingForCopy[] = "コピーCDを待っています";
inline constexpr char kNoCopyDisc[] = "コピーCDが見つかりません";

// What FileMd5 yields on a failed read.
inline constexpr char kReadErrorJa[] = "リードエラー";

}  // namespace korvane::text
