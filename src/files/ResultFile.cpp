// Checks and the checked write shared by the result files.
#include "files/ResultFile.h"

#include "core/FileTable.h"
#include "core/RunError.h"
#include "core/Session.h"

namespace korvane {

std::optional<std::string> FirstRowContaining(const FileTable& table, std::string_view forbidden) {
    for (const FileRow& row : table.Rows()) {
        for (const std::string* field :
             {&row.FileName, &row.Folder, &row.SizeText, &row.ResultText}) {
            if (field->find_first_of(forbidden) != std::string::npos) return row.Path();
        }
    }
    return std::nullopt;
}

void WriteResultFile(Session& s, const std::string& hostPath, std::string_view data) {
    const WriteResult result = s.fs.WriteWholeAtomically(hostPath, data);
    if (!result.ok) {
        throw RunError("ファイル " + hostPath + " に書き込めません (" + result.message + ")");
    }
}

}  // namespace korvane
