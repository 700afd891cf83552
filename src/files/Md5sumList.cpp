// md5sum-format digest lists: names relative to the source root, escaped as GNU md5sum does.
#include "files/Md5sumList.h"

#include "core/FileTable.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "files/NameEscape.h"
#include "files/ResultFile.h"
#include "platform/Names.h"

namespace korvane {

bool IsDigestText(std::string_view text) {
    if (text.size() != 32) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

std::string Md5sumLine(std::string_view digest, std::string_view name) {
    // A backslash alone escapes the line too: md5sum would read it as the start of an escape.
    const bool escape = name.find('\\') != std::string_view::npos || NeedsEscape(name);
    std::string line;
    line.reserve(digest.size() + name.size() + 4);
    if (escape) line.push_back('\\');
    line.append(digest).append("  ");
    if (escape) {
        line.append(Escaped(name));
    } else {
        line.append(name);
    }
    line.push_back('\n');
    return line;
}

std::string Md5sumListText(const FileTable& table, std::string_view root) {
    std::string text;
    std::string name;
    for (const FileRow& row : table.Rows()) {
        if (!IsDigestText(row.ResultText)) continue;
        const std::string_view folder = row.Folder.str();
        if (root.size() < 3 || folder.size() < root.size() || Upper(folder[0]) != Upper(root[0]) ||
            folder.substr(1, root.size() - 1) != root.substr(1)) {
            continue;
        }
        name.clear();
        for (char c : folder.substr(root.size())) name.push_back(c == '\\' ? '/' : c);
        name.append(row.FileName);
        text.append(Md5sumLine(row.ResultText, name));
    }
    return text;
}

// The same dialog as the program's own list; md5sum's format escapes every name, so no row is
// refused.
void StepSaveMd5sum(Session& s) {
    const std::string path = s.window.AskSavePath({text::kListFilter, text::kListName});
    if (path.empty()) return;
    WriteResultFile(s, path, Md5sumListText(s.table, s.window.MasterRoot()));
}

}  // namespace korvane
