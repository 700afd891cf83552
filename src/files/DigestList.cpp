// The "save data" and "load data" steps: the table kept on disk as four lines per file.
#include "files/DigestList.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/RunError.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "files/ForeignDigestList.h"
#include "files/ResultFile.h"

namespace korvane {

std::vector<FileRow> ReadFourLineList(const ListLines& lines, const std::string& path) {
    const std::size_t count = lines.Count() / 4;
    std::vector<FileRow> rows;
    rows.reserve(count);
    for (std::size_t line = 0; line < 4 * count; ++line) {
        // The file layer takes a NUL for the end of a name, so "A.TXT\0X" would check A.TXT.
        if (lines.Raw(line).find('\0') != std::string_view::npos) {
            throw RunError(text::ListLineHasNul(path, line + 1));
        }
    }
    for (std::size_t g = 0; g < count; ++g) {
        rows.push_back({lines.Decoded(4 * g), lines.Decoded(4 * g + 1), lines.Decoded(4 * g + 2),
                        lines.Decoded(4 * g + 3)});
    }
    return rows;
}

void StepSaveData(Session& s) {
    Window& w = s.window;
    // Asked before the rows are judged, as the window has always done.
    const std::string path = w.AskSavePath({text::kListFilter, text::kListName});
    if (path.empty()) return;
    // The list has no escaping: a line break inside a field would split its record on reload.
    if (const auto bad = FirstRowContaining(s.table, "\r\n")) {
        w.ShowMessage(text::NameHasLineBreak(*bad));
        return;
    }

    LineBuffer buffer;
    std::size_t bytes = 0;
    for (const FileRow& row : s.table.Rows()) {
        bytes += row.FileName.size() + row.Folder.size() + row.SizeText.size() +
                 row.ResultText.size() + 8;
    }
    buffer.Reserve(bytes);
    std::string group;
    for (const FileRow& row : s.table.Rows()) {
        group.assign(row.FileName);
        group.append("\r\n").append(row.Folder);
        group.append("\r\n").append(row.SizeText);
        group.append("\r\n").append(row.ResultText);
        buffer.Add(group);
    }
    WriteResultFile(s, path, buffer.Text());
}

void StepLoadData(Session& s) {
    // The window remembers the last chosen path itself, so the name box is not preset here.
    const std::string path = s.window.AskOpenPath({"", ""});
    if (path.empty()) return;

    // The file is read and checked whole before anything is cleared, so a refusal keeps the table.
    std::string bytes;
    if (!s.fs.ReadWhole(path, bytes)) ThrowCannotOpen(path);
    const ListLines lines(std::move(bytes));
    std::optional<std::vector<FileRow>> foreign =
        ReadForeignDigestList(lines, s.window.MasterRoot());
    if (foreign && !foreign->empty()) {
        s.loadedList = path;
        return SetRowsWithoutSizes(s.table, std::move(*foreign));
    }
    // md5sum and BSD-tag lists without entries are refused as an empty list of our own is.
    std::vector<FileRow> rows;
    if (!foreign) rows = ReadFourLineList(lines, path);
    // A list that names no file would verify nothing and still end in success.
    if (rows.empty()) throw RunError(text::ListNamesNoFile(path));

    s.table.Clear();
    s.table.Reserve(rows.size());
    for (FileRow& row : rows) s.table.Append(std::move(row));
    s.loadedList = path;
}

}  // namespace korvane
