// Reading one file by its drive path: digest, read test, size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

class RowsAhead;
class Session;
struct DigestJob;

// What FileMd5 yields when an abort stops it: never equal to a digest text or to anything a
// step stores, so a caller can keep the row's previous text.
inline constexpr char kDigestAborted[] = "\x01(aborted)";

// The file's digest text (32 lower-case hex digits); "リードエラー" after a read error, having
// set ReadFailed, the outcome panel and a read-error line; kDigestAborted on abort.
// Opens with ShareMode::Read; an open failure throws RunError "ファイル %s は開けません".
// With a job of `jobs` for the file, what its worker digested is taken chunk by chunk as if it
// were read here, and the file is read here from where the job stopped, if it stopped short.
// With `listedSize`, a file found at another size when opened is a read error, as above.
std::string FileMd5(Session& s, const std::string& path, DigestJob* job = nullptr,
                    RowsAhead* jobs = nullptr, std::optional<std::uint64_t> listedSize = {});

// Reads the whole file (ShareMode::Exclusive) to find read errors; sets ReadFailed on one.
// Returns false only when an abort stopped it before the end.
bool ReadWholeFile(Session& s, const std::string& path);

// The full size of the file, without opening it; 0 when there is no such file (callers test
// existence first).
std::int64_t FileSize64(Session& s, const std::string& path);

}  // namespace korvane
