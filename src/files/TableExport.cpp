// The "csv" step: the table written as one TAB-separated line per file.
#include <string>

#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "files/LineBuffer.h"
#include "files/ResultFile.h"

namespace korvane {

void StepExportCsv(Session& s) {
    Window& w = s.window;
    if (s.table.Count() == 0) {
        w.ShowMessage(text::kNothingToSave);
        return;
    }
    // Fields are not quoted, so a TAB or a line break inside one would shift or split its line.
    if (const auto bad = FirstRowContaining(s.table, "\t\r\n")) {
        w.ShowMessage(text::NameHasTabOrLineBreak(*bad));
        return;
    }

    LineBuffer buffer;
    std::string line;
    for (const FileRow& row : s.table.Rows()) {
        line.assign(row.FileName);
        line.append("\t").append(row.Folder);
        line.append("\t").append(row.SizeText);
        line.append("\t").append(row.ResultText);
        buffer.Add(line);
    }

    const std::string path = w.AskSavePath({text::kTableFilter, text::kTableName});
    if (path.empty()) return;
    WriteResultFile(s, path, buffer.Text());
}

}  // namespace korvane
