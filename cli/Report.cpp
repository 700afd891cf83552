// The report of a finished run, in text or as JSON lines.
#include "Report.h"

#include <nlohmann/json.hpp>

#include <cstddef>

#include "core/Texts.h"
#include "platform/TextEncoding.h"

namespace korvane::cli {

namespace {

// Read-error entries that no row stands for: folders the scan could not list.
std::vector<std::string> UnlistedEntries(const RunReport& report) {
    std::vector<std::string> out;
    for (const std::string& path : report.readErrors) {
        if (!path.empty() && path.back() == '\\') out.push_back(path);
    }
    return out;
}

void PutLine(std::FILE* out, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
}

// Names are bytes; what is not UTF-8 is shown with replacement characters.
std::string Dump(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// The bytes of a name as lower-case hex: two names that differ only in bytes that are not UTF-8
// would print the same replacement characters.
std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0xF]);
    }
    return out;
}

// A name and what follows it as one line.
std::string NamedLine(const std::string& name, const std::string& rest) {
    return NeedsEscape(name) ? "\\" + Escaped(name) + rest : name + rest;
}

}  // namespace

bool RowGood(const FileRow& row, bool digestRun) {
    return row.Kind == (digestRun ? Outcome::Digest : Outcome::Good);
}

std::string RowLine(const FileRow& row) {
    const std::string& result = row.ResultText;
    const bool digestMismatch = row.Kind == Outcome::DigestMismatch;
    return NamedLine(row.Path(), ": " + (digestMismatch ? "FAILED (" + result + ")" : result));
}

void PrintReport(std::FILE* out, const FileTable& table, const RunReport& report, bool quiet,
                 bool json, int exitCode) {
    std::size_t good = 0;
    for (const FileRow& row : table.Rows()) {
        const bool isGood = RowGood(row, report.digestRun);
        good += isGood ? 1 : 0;
        if (quiet && isGood) continue;
        if (json) {
            nlohmann::ordered_json object = {{"type", "file"},       {"path", row.Path()},
                                             {"folder", row.Folder}, {"file", row.FileName},
                                             {"size", row.SizeText}, {"result", row.ResultText},
                                             {"ok", isGood}};
            if (!IsValidUtf8(row.Path())) object["path_bytes"] = Hex(row.Path());
            PutLine(out, Dump(object));
        } else {
            PutLine(out, RowLine(row));
        }
    }
    const std::vector<std::string> unlisted = UnlistedEntries(report);
    if (!json) {
        for (const std::string& folder : unlisted) {
            PutLine(out, NamedLine(folder, std::string(": ") + text::kReadError));
        }
    }

    const std::size_t files = table.Count();
    if (json) {
        nlohmann::ordered_json summary = {{"type", "summary"},
                                          {"command", report.command},
                                          {"files", files},
                                          {"ok", good},
                                          {"not_ok", files - good},
                                          {"read_errors", report.readErrors},
                                          {"outcome", report.outcome},
                                          {"exit_code", exitCode}};
        // Entry for entry beside read_errors: the hex bytes of a path that is not UTF-8, null
        // for the others; only when there is such a path.
        nlohmann::ordered_json bytes = nlohmann::ordered_json::array();
        bool anyInvalid = false;
        for (const std::string& path : report.readErrors) {
            const bool valid = IsValidUtf8(path);
            anyInvalid = anyInvalid || !valid;
            bytes.push_back(valid ? nlohmann::ordered_json(nullptr)
                                  : nlohmann::ordered_json(Hex(path)));
        }
        if (anyInvalid) summary["read_errors_bytes"] = bytes;
        PutLine(out, Dump(summary));
        return;
    }
    std::string summary = report.command + ": " + std::to_string(files) + " files, " +
                          std::to_string(good) + " OK, " + std::to_string(files - good) +
                          " not OK, " + std::to_string(report.readErrors.size()) + " read errors";
    if (!report.outcome.empty()) summary += ": " + report.outcome;
    // Quiet and successful: nothing at all, as md5sum --quiet.
    if (!quiet || exitCode != 0) PutLine(out, summary);
}

int ResultCode(const FileTable& table, const RunReport& report, const char* successText) {
    if (!report.readErrors.empty()) return 1;
    if (successText != nullptr && report.outcome != successText) return 1;
    for (const FileRow& row : table.Rows()) {
        if (!RowGood(row, report.digestRun)) return 1;
    }
    return 0;
}

}  // namespace korvane::cli
