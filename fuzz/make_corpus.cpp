// Writes the fuzzers' seed corpus with the program's own writers: digest lists saved by the
// "MD5計算" and "MD5読込" commands over a small tree, the same digests in md5sum and BSD-tag
// lines, and the size texts the scan wrote.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/Commands.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "platform/DriveMap.h"
#include "platform/HostFileSystem.h"
#include "support/FakeWindow.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const fs::path corpus = argv[1];
    const fs::path tree = fs::temp_directory_path() / "korvane-corpus-tree";
    fs::remove_all(tree);
    Write(tree / "source/readme.txt", "hello\n");
    Write(tree / "source/empty.dat", "");
    Write(tree / "source/日本語フォルダ/ファイル 名.txt", "日本語\n");
    Write(tree / "source/DATA/SUB/A.BIN", std::string(70000, 'a'));
    fs::copy(tree / "source", tree / "copy", fs::copy_options::recursive);
    fs::remove(tree / "copy/readme.txt");
    Write(tree / "copy/DATA/SUB/A.BIN", std::string(70001, 'a'));

    korvane::DriveMap drives;
    drives.Set('Q', (tree / "source").string());
    drives.Set('R', (tree / "copy").string());
    auto files = korvane::MakeHostFileSystem(drives);
    korvane::test::FakeWindow window;
    korvane::Session s(window, *files);
    window.master = "Q:\\";

    const fs::path lists = corpus / "fuzz_load_list";
    fs::create_directories(lists);
    window.saveAnswers.push_back((lists / "digests.txt").string());
    korvane::CRC321Click(s);

    // The same digests as other programs write them: md5sum lines (text and binary marks, an
    // escaped name, Windows separators) and BSD-tag lines.
    std::string md5sum = "# md5sum\n";
    std::string tags;
    for (const korvane::FileRow& row : s.table.Rows()) {
        std::string rel = row.Folder.substr(3) + row.FileName;
        const std::string windows = rel;
        for (char& c : rel) {
            if (c == '\\') c = '/';
        }
        md5sum += row.ResultText + "  ./" + rel + "\n" + row.ResultText + " *" + windows + "\n";
        tags += "MD5 (" + rel + ") = " + row.ResultText + "\r\n";
    }
    md5sum += "\\" + s.table.Row(0).ResultText + "  new\\nline name\n";
    Write(lists / "md5sum.md5", md5sum);
    Write(lists / "tags.md5", tags);

    // The same list checked against a copy with a missing and a longer file, then saved again.
    window.master = "R:\\";
    window.openAnswers.push_back((lists / "digests.txt").string());
    korvane::CRC322Click(s);
    window.saveAnswers.push_back((lists / "verdicts.txt").string());
    korvane::StepSaveData(s);

    const fs::path sizes = corpus / "fuzz_size_text";
    int n = 0;
    for (const korvane::FileRow& row : s.table.Rows()) {
        Write(sizes / ("scan" + std::to_string(++n)), row.SizeText);
    }
    // The other forms the conversion accepts.
    for (const char* form :
         {" +12", "-7", "$1F", "x7fffffffffffffff", "0X10", "-9223372036854775808"}) {
        Write(sizes / ("form" + std::to_string(++n)), form);
    }
    fs::remove_all(tree);
    return window.messages.empty() ? 0 : 1;
}
