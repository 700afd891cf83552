// Checks and the checked write shared by the result files.
#include "files/ResultFile.h"

#include "core/FileTable.h"
#include "core/RunError.h"
#include "core/Session.h"
#include "core/Texts.h"

namespace korvane {

std::optional<std::string> FirstRowContaining(const FileTable& table, std::string_view forbidden) {
    bool isForbidden[256] = {};
    for (char c : forbidden) isForbidden[static_cast<unsigned char>(c)] = true;
    auto bad = [&](const std::string& field) {
        for (char c : field) {
            if (isForbidden[static_cast<unsigned char>(c)]) return true;
        }
        return false;
    };
    for (const FileRow& row : table.Rows()) {
        if (bad(row.FileName) || bad(row.Folder) || bad(row.SizeText) || bad(row.ResultText)) {
            return row.Path();
        }
    }
    return std::nullopt;
}

void WriteResultFile(Session& s, const std::string& hostPath, std::string_view data) {
    const WriteResult result = s.fs.WriteWholeAtomically(hostPath, data);
    if (!result.ok) {
        throw RunError(text::CannotWrite(hostPath, result.message));
    }
}

}  // namespace korvane
