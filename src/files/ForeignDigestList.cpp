// md5sum and BSD-tag lists: the forms most digest lists in the world come in, so that a copy
// can be verified against the list published with the original.
#include "files/ForeignDigestList.h"

#include <cstddef>
#include <utility>

#include "core/RunError.h"
#include "core/Texts.h"
#include "files/ListLines.h"

namespace korvane {

namespace {

constexpr std::string_view kTagOpen = "MD5 (";
constexpr std::string_view kTagClose = ") = ";
constexpr std::size_t kDigestLength = 32;
// A refused line is shown up to this many bytes: a stray binary line must not fill the screen.
constexpr std::size_t kShownLine = 120;

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsDigest(std::string_view text) {
    if (text.size() != kDigestLength) return false;
    for (char c : text) {
        if (!IsHex(c)) return false;
    }
    return true;
}

std::string LowerDigest(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool IsSkipped(std::string_view line) {
    return IsBlank(line) || line.front() == '#';
}

// The program's own folder form: drive letter, colon, backslash, and a backslash at the end.
bool IsDriveFolder(std::string_view line) {
    if (line.size() < 3 || line[1] != ':' || line[2] != '\\' || line.back() != '\\') return false;
    const char c = line[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The program's own list: a drive-rooted folder as the second line of every group of four. Its
// other lines can be anything, a name that reads like an md5sum line among them.
bool IsOwnList(const ListLines& lines) {
    const std::size_t groups = lines.Count() / 4;
    if (groups == 0) return false;
    for (std::size_t g = 0; g < groups; ++g) {
        if (!IsDriveFolder(lines.Raw(4 * g + 1))) return false;
    }
    return true;
}

struct DigestLine {
    std::string digest;
    std::string name;  // still escaped when `escaped`
    bool escaped = false;
};

std::optional<DigestLine> ParseLine(std::string_view line) {
    DigestLine out;
    if (!line.empty() && line.front() == '\\') {
        out.escaped = true;
        line.remove_prefix(1);
    }
    // md5sum: "<digest> <space or *><name>"
    if (line.size() > kDigestLength + 2 && IsDigest(line.substr(0, kDigestLength)) &&
        line[kDigestLength] == ' ' &&
        (line[kDigestLength + 1] == ' ' || line[kDigestLength + 1] == '*')) {
        out.digest = LowerDigest(line.substr(0, kDigestLength));
        out.name = std::string(line.substr(kDigestLength + 2));
        return out;
    }
    // BSD tag: "MD5 (<name>) = <digest>", taken apart from both ends so the name may hold ") = ".
    const std::size_t tail = kTagClose.size() + kDigestLength;
    if (line.size() > kTagOpen.size() + tail && line.starts_with(kTagOpen) &&
        line.substr(line.size() - tail, kTagClose.size()) == kTagClose &&
        IsDigest(line.substr(line.size() - kDigestLength))) {
        out.digest = LowerDigest(line.substr(line.size() - kDigestLength));
        out.name = std::string(line.substr(kTagOpen.size(), line.size() - kTagOpen.size() - tail));
        return out;
    }
    return std::nullopt;
}

// GNU's escapes: "\\", "\n" and "\r"; any other backslash makes the line unreadable.
std::optional<std::string> Unescape(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            out.push_back(name[i]);
            continue;
        }
        if (++i == name.size()) return std::nullopt;
        switch (name[i]) {
            case '\\':
                out.push_back('\\');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

// Folder and file name of the row for a name read from a line, or nothing when no drive path
// can carry it (an empty, "." or ".." part, a NUL byte, a backslash inside a name).
std::optional<FileRow> RowFor(const DigestLine& line, const ListLines& lines,
                              const std::string& root) {
    std::string raw = line.name;
    if (line.escaped) {
        std::optional<std::string> plain = Unescape(raw);
        if (!plain) return std::nullopt;
        raw = std::move(*plain);
    }
    if (raw.find('\0') != std::string::npos) return std::nullopt;
    // Decoded before it is split: a Shift-JIS character may end in the byte of a backslash.
    const std::string name = lines.Decode(raw);

    std::vector<std::string_view> parts;
    std::string_view rest = name;
    const char* separators = line.escaped ? "/" : "/\\";
    while (true) {
        const std::size_t at = rest.find_first_of(separators);
        parts.push_back(rest.substr(0, at));
        if (at == std::string_view::npos) break;
        rest.remove_prefix(at + 1);
    }
    std::size_t first = 0;
    while (first + 1 < parts.size() && parts[first] == ".") ++first;  // "./name"

    FileRow row;
    std::string folder = root;
    for (std::size_t i = first; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        if (part.empty() || part == "." || part == ".." ||
            part.find('\\') != std::string_view::npos) {
            return std::nullopt;
        }
        if (i + 1 < parts.size()) {
            folder.append(part).push_back('\\');
        } else {
            row.FileName = std::string(part);
        }
    }
    row.Folder = std::move(folder);
    row.ResultText = line.digest;
    return row;
}

[[noreturn]] void ThrowBadLine(const ListLines& lines, std::size_t i) {
    std::string shown;
    // A NUL would end the message where it stands.
    for (char c : lines.Decoded(i)) {
        if (c == '\0') {
            shown += "\\0";
        } else {
            shown += c;
        }
    }
    if (shown.size() > kShownLine) {
        std::size_t cut = kShownLine;
        // Cut between characters when the text is UTF-8.
        while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) --cut;
        shown.resize(cut);
        shown += "...";
    }
    throw RunError(text::ListLineUnreadable(i + 1, shown));
}

}  // namespace

std::optional<std::vector<FileRow>> ReadForeignDigestList(const ListLines& lines,
                                                          const std::string& root) {
    const std::size_t count = lines.Count();
    if (IsOwnList(lines)) return std::nullopt;

    // Any digest line makes the file a digest list, whatever its first lines are (a header, a
    // signature's armour, a digest of another kind): those are then refused by their number.
    bool comments = false;
    bool entries = false;
    bool digestLines = false;
    for (std::size_t i = 0; i < count && !digestLines; ++i) {
        const std::string_view text = lines.Raw(i);
        if (IsSkipped(text)) {
            comments = comments || !IsBlank(text);
            continue;
        }
        entries = true;
        digestLines = ParseLine(text).has_value();
    }
    if (!entries) {
        if (!comments) return std::nullopt;
        return std::vector<FileRow>();
    }
    // Text with no digest line at all is read by the four-line rule, as any file always was.
    if (!digestLines) return std::nullopt;

    std::vector<FileRow> rows;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view text = lines.Raw(i);
        if (IsSkipped(text)) continue;
        const std::optional<DigestLine> line = ParseLine(text);
        std::optional<FileRow> row;
        if (line) row = RowFor(*line, lines, root);
        if (!row) ThrowBadLine(lines, i);
        rows.push_back(std::move(*row));
    }
    return rows;
}

std::optional<std::vector<FileRow>> ReadForeignDigestList(std::string_view bytes,
                                                          const std::string& root) {
    return ReadForeignDigestList(ListLines(std::string(bytes)), root);
}

void SetRowsWithoutSizes(FileTable& table, std::vector<FileRow> rows) {
    table.Clear();
    table.Reserve(rows.size());
    for (FileRow& row : rows) table.Append(std::move(row));
    table.SetSizesListed(false);
}

}  // namespace korvane
