// User-visible texts of the core and its steps, byte for byte as the window shows them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvane::text {

inline constexpr char kAppTitle[] = "Korvane";
inline constexpr char kCaption[] = "Korvane β1";

// Outcome panel.
inline constexpr char kReadErrorNotice[] = "リードエラーのファイルがあります";
inline constexpr char kNotCopied[] = "正しくコピーされていません";
inline constexpr char kSuccess[] = "正常に終了しました";

// Total panel: the prefix of the source's byte count.
inline constexpr char kTotalPrefix[] = "全容量:";

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

// The processing log: each step framed by a line before and one after.
inline constexpr char kLogMasterRead[] = "比較元CDを読み取っています";
inline constexpr char kLogMasterReadDone[] = "読み取り終了";
inline constexpr char kLogCalcMd5[] = "ファイル個別のMD5計算中";
inline constexpr char kLogCalcMd5Done[] = "計算終了";
inline constexpr char kLogReadTest[] = "リードエラーテスト";
inline constexpr char kLogReadTestDone[] = "終了";
inline constexpr char kLogCompareMd5[] = "MD5比較中";
inline constexpr char kLogCompareBinary[] = "ファイル間のバイナリ比較中";
inline constexpr char kLogCompareDone[] = "比較終了";

// The time label: elapsed and remaining minutes and seconds, as printf fields.
inline constexpr char kTimeLabelFormat[] = "経過 %.2lu:%.2lu/残り %.2llu:%.2llu";

// Messages of a run that cannot start or that ends.
inline constexpr char kNoMasterDrive[] = "比較元ドライブを指定してください";
inline constexpr char kNoCopyDrive[] = "比較先ドライブを指定してください";
inline constexpr char kAborted[] = "中断しました";
inline constexpr char kOutOfMemory[] = "メモリが不足しています";
inline constexpr char kNothingToSave[] = "保存するデータがありません";

// Dialog filters ("shown text | pattern") and the name box presets.
inline constexpr char kListFilter[] = "*.txt(*.txt)|*.txt";
inline constexpr char kListName[] = ".txt";
inline constexpr char kTableFilter[] = "*.csv(*.csv)|*.csv";
inline constexpr char kTableName[] = ".csv";

inline std::string CannotOpen(const std::string& path) {
    return "ファイル " + path + " は開けません";
}
inline std::string CannotWrite(const std::string& path, const std::string& reason) {
    return "ファイル " + path + " に書き込めません (" + reason + ")";
}
inline std::string ListLineHasNul(const std::string& path, std::size_t line) {
    return "ファイル " + path + " の " + std::to_string(line) +
           " 行目はNUL文字を含むため読み込めません";
}
inline std::string ListNamesNoFile(const std::string& path) {
    return "ファイル " + path + " には比較するファイルがありません";
}
inline std::string ListLineUnreadable(std::size_t line, const std::string& shown) {
    return "リストの " + std::to_string(line) + " 行目は読み込めません: " + shown;
}
inline std::string NameHasLineBreak(const std::string& path) {
    return "ファイル名 " + path + " は改行を含むため保存できません";
}
inline std::string NameHasTabOrLineBreak(const std::string& path) {
    return "ファイル名 " + path + " はタブまたは改行を含むため書き出せません";
}
inline std::string NotAnInteger(const std::string& text) {
    return "'" + text + "' は整数ではありません";
}
// `limit` is already formatted with thousands separators.
inline std::string FoldersTooDeep(const std::string& drive, const std::string& limit) {
    return "ドライブ " + drive + " のフォルダの階層が " + limit + " を超えています";
}
inline std::string TooManyEntries(const std::string& drive, const std::string& limit) {
    return "ドライブ " + drive + " のファイルとフォルダが " + limit + " 個を超えています";
}

}  // namespace korvane::text

// Verdicts the comparison steps write into ResultText, byte for byte.
namespace korvane::verdict {

inline constexpr char kSizeMismatch[] = "Size mismatch";
// A digest list carries no sizes to show: the copy's size follows.
inline std::string SizeMismatchCopy(std::int64_t copySize) {
    return std::string(kSizeMismatch) + "copy " + std::to_string(copySize);
}
// The stored digest, then the copy's digest or read-error text.
inline std::string DigestMismatch(const std::string& stored, const std::string& copy) {
    return stored + "NG(" + copy + ")";
}
// No comparison writes it any more; rows of tables saved by older versions may still hold it.
inline constexpr char kZeroSizeSkip[] = "0 size skip";
inline constexpr char kCheckingBinary[] = "checking binary...";
inline constexpr char kBinaryMismatch[] = "binary mismatch";
inline constexpr char kSourceReadError[] = " M rd err";
inline constexpr char kCopyReadError[] = " C rd err";
// A file of the copy that no row of the table names.
inline constexpr char kExtraFile[] = "Extra file";

// Entries that are no files, compared by what they are. A link is never followed; its verdict
// carries its target text after kLinkArrow.
inline constexpr char kLinkArrow[] = " -> ";
inline constexpr char kLink[] = "Link";  // a link on the copy where the source has a file
inline constexpr char kExtraFolder[] = "Extra folder";
inline constexpr char kFolderNotFound[] = "Folder Not Found";
inline constexpr char kExtraLink[] = "Extra link";
inline constexpr char kLinkNotFound[] = "Link Not Found";
inline constexpr char kLinkMismatch[] = "Link mismatch";  // with the copy's target
inline constexpr char kExtraFifo[] = "Extra FIFO";
inline constexpr char kFifoNotFound[] = "FIFO Not Found";
inline constexpr char kExtraSocket[] = "Extra socket";
inline constexpr char kSocketNotFound[] = "Socket Not Found";
inline constexpr char kExtraDevice[] = "Extra device";
inline constexpr char kDeviceNotFound[] = "Device Not Found";

}  // namespace korvane::verdict
