// Reading one file by its drive path: digest, read test, size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

class RowsAhead;
class Session;
struct DigestJob;

enum class DigestOutcome { Digest, ReadError, Aborted };

struct FileDigest {
    DigestOutcome outcome = DigestOutcome::Aborted;
    std::string digest;  // 32 lower-case hex digits, with DigestOutcome::Digest
};

// The file's digest, or a read error, or an abort asked for while it was read; reports nothing.
// Opens with ShareMode::Read; an open failure throws RunError "ファイル %s は開けません".
// With a job of `jobs` for the file, what its worker digested is taken chunk by chunk as if it
// were read here, and the file is read here from where the job stopped, if it stopped short.
// With `listedSize`, a file found at another size when opened is a read error.
FileDigest ReadFileDigest(Session& s, const std::string& path, DigestJob* job = nullptr,
                          RowsAhead* jobs = nullptr, std::optional<std::uint64_t> listedSize = {});

// A read error of `path` shown to the user: the outcome panel, a read-error line, ReadFailed.
void ReportReadError(Session& s, const std::string& path);

// What FileMd5 yields when an abort stops it: never equal to a digest text or to anything a
// step stores.
inline constexpr char kDigestAborted[] = "\x01(aborted)";

// ReadFileDigest as a text: the digest; "リードエラー" after a read error, reported; or
// kDigestAborted.
std::string FileMd5(Session& s, const std::string& path, DigestJob* job = nullptr,
                    RowsAhead* jobs = nullptr, std::optional<std::uint64_t> listedSize = {});

// Reads the whole file (ShareMode::Exclusive) to find read errors; sets ReadFailed on one.
// Returns false only when an abort stopped it before the end.
bool ReadWholeFile(Session& s, const std::string& path);

// The full size of the file, without opening it; 0 when there is no such file (callers test
// existence first).
std::int64_t FileSize64(Session& s, const std::string& path);

}  // namespace korvane
