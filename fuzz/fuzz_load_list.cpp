// Fuzzes loading a digest list: any bytes load or are refused without harm, a refusal (no complete
// row, a NUL in a field, a bad md5sum line) leaves the table as it was, a list of our own gives one
// row per four lines and, in UTF-8, its lines unchanged after being saved and loaded again; an
// md5sum or BSD-tag list gives one row per entry with a drive path, a lower-case digest and no
// size, and (decoded whole) loads back the same when written again as an md5sum list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RunError.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "files/ForeignDigestList.h"
#include "platform/DriveMap.h"
#include "platform/HostFileSystem.h"
#include "support/FakeWindow.h"

namespace {

using korvane::FileRow;

// Lines as the list format defines them: CR LF, a lone CR and a lone LF each end one; text after
// the last break is one more line.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Strict UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF.
bool StrictUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            code = c & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            code = code << 6 | (t & 0x3Fu);
        }
        if (extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return false;
        if (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) return false;
        i += extra + 1;
    }
    return true;
}

const std::string& Scratch() {
    static const std::string dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvane-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    static const bool cleanup = std::atexit([] {
                                    std::error_code ec;
                                    std::filesystem::remove_all(Scratch(), ec);
                                }) == 0;
    (void)cleanup;
    return dir;
}

const FileRow kBefore{"before", "Q:\\", "1", "OK"};

struct Loaded {
    std::vector<FileRow> rows;
    bool refused = false;
    bool sizesListed = true;
};

// Loads over a table of one row, with Q: as the source drive.
Loaded Load(const std::string& path) {
    korvane::DriveMap drives;
    auto files = korvane::MakeHostFileSystem(drives);
    korvane::test::FakeWindow window;
    window.master = "Q:\\";
    window.openAnswers.push_back(path);
    korvane::Session s(window, *files);
    s.table.Append(kBefore);
    Loaded out;
    try {
        korvane::StepLoadData(s);
    } catch (const korvane::RunError&) {
        out.refused = true;
    }
    out.rows = s.table.Rows();
    out.sizesListed = s.table.SizesListed();
    return out;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

bool IsLowerHex(const std::string& text) {
    if (text.size() != 32) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// A row of an md5sum or BSD-tag list: a path under Q:\ that a drive path can carry.
void CheckForeignRow(const FileRow& r) {
    Check(r.Folder.str().starts_with("Q:\\") && r.Folder.back() == '\\' && r.SizeText.empty());
    Check(IsLowerHex(r.ResultText));
    Check(!r.FileName.empty() && r.FileName != "." && r.FileName != "..");
    Check(r.FileName.find_first_of(std::string("/\\\0", 3)) == std::string::npos);
    const std::string_view folders = std::string_view(r.Folder.str()).substr(3);
    Check(folders.find('\0') == std::string_view::npos &&
          folders.find('/') == std::string_view::npos);
    std::size_t start = 0;
    for (std::size_t at; (at = folders.find('\\', start)) != std::string_view::npos;
         start = at + 1) {
        const std::string_view part = folders.substr(start, at - start);
        Check(!part.empty() && part != "." && part != "..");
    }
}

// The rows written back as md5sum lines, escaped as GNU md5sum escapes them.
std::string AsMd5sum(const std::vector<FileRow>& rows) {
    std::string text;
    for (const FileRow& r : rows) {
        std::string name = r.Folder.substr(3) + r.FileName;
        for (char& c : name) {
            if (c == '\\') c = '/';
        }
        std::string escaped;
        for (char c : name) {
            if (c == '\n') {
                escaped += "\\n";
            } else if (c == '\r') {
                escaped += "\\r";
            } else {
                escaped += c;
            }
        }
        text += (escaped != name ? "\\" : "") + r.ResultText + " *" + escaped + "\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string list = Scratch() + "/list.txt";
    std::ofstream(list, std::ios::binary | std::ios::trunc) << bytes;

    // A list of our own without a complete row, or with a NUL in one, is refused.
    const std::vector<std::string_view> raw = SplitLines(bytes);
    bool nul = false;
    for (std::size_t i = 0; i < raw.size() / 4 * 4; ++i) {
        nul = nul || raw[i].find('\0') != std::string_view::npos;
    }
    const Loaded loaded = Load(list);
    if (loaded.refused) {
        Check(loaded.rows == std::vector<FileRow>{kBefore});
        return 0;
    }
    const std::vector<FileRow>& rows = loaded.rows;

    std::optional<std::vector<FileRow>> foreign;
    try {
        foreign = korvane::ReadForeignDigestList(bytes, "Q:\\");
    } catch (const korvane::RunError&) {
        std::abort();  // the load would have been refused
    }
    if (foreign) {
        Check(rows == *foreign && loaded.sizesListed == rows.empty());
        for (const FileRow& r : rows) CheckForeignRow(r);
        if (rows.empty()) return 0;
        const std::string again = Scratch() + "/again.md5";
        std::ofstream(again, std::ios::binary | std::ios::trunc) << AsMd5sum(rows);
        const Loaded back = Load(again);
        Check(!back.refused && back.rows.size() == rows.size());
        // Names kept as the list's bytes (neither UTF-8 nor Shift-JIS) leave the encoding of the
        // list written back to be judged again, as for a list of our own: only a list decoded
        // whole is bound to come back unchanged.
        bool decodedWhole = true;
        for (const FileRow& r : rows) {
            decodedWhole = decodedWhole && StrictUtf8(r.FileName) && StrictUtf8(r.Folder.str());
        }
        if (decodedWhole) Check(back.rows == rows);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            Check(back.rows[i].ResultText == rows[i].ResultText);
        }
        return 0;
    }

    // Shift-JIS never uses CR or LF inside a character, so converting keeps the line count.
    Check(raw.size() >= 4 && !nul);
    Check(loaded.sizesListed && rows.size() == raw.size() / 4);
    for (const FileRow& r : rows) {
        for (const std::string* f : {&r.FileName, &r.Folder.str(), &r.SizeText, &r.ResultText}) {
            Check(f->find_first_of("\r\n") == std::string::npos);
        }
    }
    if (!StrictUtf8(bytes)) return 0;

    std::string_view text = bytes;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t g = 0; g < rows.size(); ++g) {
        Check(rows[g].FileName == lines[4 * g] && rows[g].Folder.str() == lines[4 * g + 1] &&
              rows[g].SizeText == lines[4 * g + 2] && rows[g].ResultText == lines[4 * g + 3]);
    }
    // A first name that itself starts with a byte-order mark would lose it on reloading.
    if (!rows.empty() && rows[0].FileName.starts_with("\xEF\xBB\xBF")) return 0;
    // Saved again, rows of nothing but blanks and '#' lines read as a list without entries.
    bool onlyComments = true;
    for (const FileRow& r : rows) {
        for (const std::string* f : {&r.FileName, &r.Folder.str(), &r.SizeText, &r.ResultText}) {
            if (f->find_first_not_of(" \t") != std::string::npos && !f->starts_with('#')) {
                onlyComments = false;
            }
        }
    }
    if (onlyComments) return 0;

    korvane::DriveMap drives;
    auto files = korvane::MakeHostFileSystem(drives);
    korvane::test::FakeWindow window;
    korvane::Session s(window, *files);
    for (const FileRow& r : rows) s.table.Append(r);
    const std::string again = Scratch() + "/again.txt";
    window.saveAnswers.push_back(again);
    korvane::StepSaveData(s);
    Check(Load(again).rows == rows);
    return 0;
}
