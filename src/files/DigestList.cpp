// The "save data" and "load data" steps: the table kept on disk as four lines per file.
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/RunError.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "files/ForeignDigestList.h"
#include "files/LineBuffer.h"
#include "files/ResultFile.h"
#include "platform/TextEncoding.h"

namespace korvane {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

void StepSaveData(Session& s) {
    Window& w = s.window;
    // The list has no escaping: a line break inside a field would split its record on reload.
    if (const auto bad = FirstRowContaining(s.table, "\r\n")) {
        w.ShowMessage("ファイル名 " + *bad + " は改行を含むため保存できません");
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

    const std::string path = w.AskSavePath({"*.txt(*.txt)|*.txt", ".txt"});
    if (path.empty()) return;
    WriteResultFile(s, path, buffer.Text());
}

void StepLoadData(Session& s) {
    // The window remembers the last chosen path itself, so the name box is not preset here.
    const std::string path = s.window.AskOpenPath({"", ""});
    if (path.empty()) return;

    // The file is read whole before anything is cleared, so a failure keeps the table.
    std::string bytes;
    if (!s.fs.ReadWhole(path, bytes)) ThrowCannotOpen(path);
    // md5sum and BSD-tag lists; one without entries goes on as an empty list of our own.
    if (auto foreign = ReadForeignDigestList(bytes, s.window.MasterRoot())) {
        if (!foreign->empty()) return SetRowsWithoutSizes(s.table, std::move(*foreign));
        bytes.clear();
    }
    if (!IsValidUtf8(bytes)) {
        // Lists made on Japanese systems are in Shift-JIS; bytes that are neither stay as read.
        if (std::optional<std::string> converted = ShiftJisToUtf8(bytes)) {
            bytes = std::move(*converted);
        }
    }
    if (std::string_view(bytes).starts_with(kUtf8Bom)) bytes.erase(0, kUtf8Bom.size());

    LineBuffer buffer;
    buffer.Load(std::move(bytes));
    const std::size_t rows = buffer.LineCount() / 4;

    s.table.Clear();
    s.table.Reserve(rows);
    for (std::size_t g = 0; g < rows; ++g) {
        s.table.Append({std::string(buffer.Line(4 * g)), std::string(buffer.Line(4 * g + 1)),
                        std::string(buffer.Line(4 * g + 2)), std::string(buffer.Line(4 * g + 3))});
    }
}

}  // namespace korvane
