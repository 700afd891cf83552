// The shared discs of the end-to-end scenarios and the oracle they are judged by.
#include "e2e/DiscScenario.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "core/Commands.h"

namespace fs = std::filesystem;

namespace korvane::test {

namespace {

std::string DeepFolder(int levels) {
    std::string path;
    for (int i = 1; i <= levels; ++i) path += (i < 10 ? "d0" : "d") + std::to_string(i) + "/";
    return path;
}

void FlipByte(const std::string& file, std::uint64_t offset) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(static_cast<std::streamoff>(offset));
    const char c = static_cast<char>(f.get() ^ 0x5A);
    f.seekp(static_cast<std::streamoff>(offset));
    f.put(c);
}

void WriteSource(TempTree& t) {
    t.WriteFile("readme.txt", "Korvane end-to-end source disc\n");
    t.WritePattern("64000.bin", 64000, 1);
    t.WritePattern("1000000.bin", 1000000, 2);
    t.WritePattern("2000000.bin", 2000000, 3);
    t.WriteFile("empty.dat", "");
    t.WriteFile("日本語フォルダ/ファイル名.txt", "日本語の中身\n");
    t.WritePattern("日本語フォルダ/データ 1.bin", 3000, 4);
    t.WriteFile("with space/name with spaces.txt", "spaces\n");
    t.WriteFile(".hidden", "dot\n");
    t.WriteFile(".dotfolder/.inner", "");
    t.MakeFolder("empty folder");
    t.WriteFile(DeepFolder(20) + "deep.txt", "twenty levels down\n");
    char name[32];
    for (int i = 0; i < 2000; ++i) {
        std::snprintf(name, sizeof name, "many/f%04d.txt", i);
        t.WriteFile(name, "small file " + std::to_string(i * 7919) + "\n");
    }
}

void WriteSmall(TempTree& t) {
    // The directory order of the image puts the large file first. No empty file: a two-drive
    // comparison skips those, and this disc must be able to pass.
    t.WritePattern("a_big.bin", 2000000, 5);
    t.WriteFile("b.txt", "small\n");
    t.WriteFile("c/日本語.txt", "日本語\n");
    t.WritePattern("e_64000.bin", 64000, 6);
}

Disc MakeDisc(const std::string& tree, const std::string& image, const std::string& label) {
    BuildImage(tree, image, label);
    return {tree, image, Md5sumOf(tree)};
}

std::uintmax_t SizeOf(const std::string& tree, const std::string& rel) {
    return fs::file_size(fs::path(tree) / rel);
}

std::vector<std::string> FilesUnder(const std::string& root) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root).string());
    }
    return out;
}

}  // namespace

const std::vector<CopyFault> kCopyFaults = {
    {"a changed byte", "1000000.bin"},
    {"a missing file", "many/f1234.txt"},
    {"a file of another size", "64000.bin"},
    {"a file one folder too deep",
     "d01/d02/d03/d04/d05/d06/d07/d08/d09/d10/d11/d12/d13/d14/d15/"
     "d16/d17/d18/d19/d20/deep.txt"},
    {"a changed Japanese-named file", "日本語フォルダ/ファイル名.txt"},
};

Md5Map Md5sumOf(const std::string& root) {
    int status = 0;
    const std::string output = RunHost(
        "cd " + ShellQuote(root) + " && find . -type f -print0 | xargs -0 -r md5sum", &status);
    if (status != 0) throw std::runtime_error("md5sum failed under " + root);
    Md5Map map;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        // "<32 hex>  ./path"
        if (line.size() > 36) map[line.substr(36)] = line.substr(0, 32);
    }
    return map;
}

bool CmpSame(const std::string& a, const std::string& b) {
    int status = 0;
    RunHost("cmp -s " + ShellQuote(a) + " " + ShellQuote(b), &status);
    return status == 0;
}

DiscLibrary::DiscLibrary() {
    WriteSource(sourceTree_);
    fs::copy(sourceTree_.root(), badTree_.root(), fs::copy_options::recursive);
    FlipByte(badTree_.Host(kCopyFaults[0].path), 500000);
    fs::remove(badTree_.Host(kCopyFaults[1].path));
    badTree_.WritePattern(kCopyFaults[2].path, 64001, 1);
    const std::string deep = badTree_.Host(kCopyFaults[3].path);
    const fs::path deeper = fs::path(deep).parent_path() / "d21" / "deep.txt";
    fs::create_directories(deeper.parent_path());
    fs::rename(deep, deeper);
    FlipByte(badTree_.Host(kCopyFaults[4].path), 0);
    WriteSmall(smallTree_);

    source = MakeDisc(sourceTree_.root(), work_.Host("source.iso"), "SOURCE");
    goodCopy = MakeDisc(sourceTree_.root(), work_.Host("good.iso"), "GOODCOPY");
    badCopy = MakeDisc(badTree_.root(), work_.Host("bad.iso"), "BADCOPY");
    small = MakeDisc(smallTree_.root(), work_.Host("small.iso"), "SMALL");
    smallCopy = MakeDisc(smallTree_.root(), work_.Host("smallcopy.iso"), "SMALLCOPY");
}

const DiscLibrary& DiscLibrary::Get() {
    static const DiscLibrary library;
    return library;
}

std::string RelativePath(const FileRow& row) {
    std::string rel = row.Folder.size() > 3 ? row.Folder.substr(3) : std::string();
    std::replace(rel.begin(), rel.end(), '\\', '/');
    return rel + row.FileName;
}

std::string DigestVerdict(const Disc& source, const Disc& copy, const std::string& rel) {
    const fs::path copyFile = fs::path(copy.tree) / rel;
    if (!fs::is_regular_file(copyFile)) return "File Not Found";
    const auto copySize = fs::file_size(copyFile);
    if (copySize != SizeOf(source.tree, rel))
        return "Size mismatchcopy " + std::to_string(copySize);
    const std::string& stored = source.md5.at(rel);
    const std::string& actual = copy.md5.at(rel);
    return stored == actual ? "OK" : stored + "NG(" + actual + ")";
}

std::string BinaryVerdict(const Disc& source, const Disc& copy, const std::string& rel) {
    const fs::path copyFile = fs::path(copy.tree) / rel;
    if (!fs::is_regular_file(copyFile)) return "File Not Found";
    const auto size = SizeOf(source.tree, rel);
    if (fs::file_size(copyFile) != size) return "Size mismatch";
    // Digests name the suspects cheaply; cmp has the last word on each of them.
    if (source.md5.at(rel) == copy.md5.at(rel)) return "OK";
    return CmpSame((fs::path(source.tree) / rel).string(), copyFile.string()) ? "OK"
                                                                              : "binary mismatch";
}

namespace {

// Where a row's file is to be found, and what the row must say: the source tree's file, or one
// or a folder only the copy holds. Nothing when the row names none of these.
std::optional<std::pair<std::string, std::string>> Want(const std::string& rel,
                                                        const std::string& tree,
                                                        const Expected& expected,
                                                        const std::string& copyTree) {
    if (fs::is_regular_file(fs::path(tree) / rel)) return std::pair(tree, expected(rel));
    if (!copyTree.empty() && fs::is_regular_file(fs::path(copyTree) / rel)) {
        return std::pair(copyTree, std::string("Extra file"));
    }
    if (!copyTree.empty() && fs::is_directory(fs::path(copyTree) / rel) &&
        !fs::exists(fs::path(tree) / rel)) {
        return std::pair(copyTree, std::string("Extra folder"));
    }
    return std::nullopt;
}

std::string SizeText(const std::string& root, const std::string& rel) {
    return fs::is_directory(fs::path(root) / rel) ? "0" : std::to_string(SizeOf(root, rel));
}

// The outermost folders of `root` that `other` does not hold.
std::vector<std::string> FoldersOnlyIn(const std::string& root, const std::string& other) {
    std::vector<std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != decltype(it)(); ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (!it->is_directory() || fs::is_directory(fs::path(other) / rel)) continue;
        out.push_back(rel);
        it.disable_recursion_pending();
    }
    return out;
}

}  // namespace

void ExpectRows(const FileTable& table, const std::string& tree, const Expected& expected,
                const std::string& copyTree, bool foldersCompared) {
    std::vector<std::string> wanted = FilesUnder(tree);
    const std::size_t sourceFiles = wanted.size();
    if (!copyTree.empty()) {
        for (std::string& rel : FilesUnder(copyTree)) {
            if (!fs::is_regular_file(fs::path(tree) / rel)) wanted.push_back(std::move(rel));
        }
        if (foldersCompared) {
            for (std::string& rel : FoldersOnlyIn(copyTree, tree)) wanted.push_back(std::move(rel));
        }
    }
    std::sort(wanted.begin(), wanted.end());
    std::vector<std::string> listed;
    int wrong = 0;
    for (const FileRow& row : table.Rows()) {
        const std::string rel = RelativePath(row);
        listed.push_back(rel);
        const auto found = Want(rel, tree, expected, copyTree);
        if (!found) continue;  // reported below
        const bool extra = found->first != tree;
        if (extra != (listed.size() > sourceFiles) && ++wrong <= 10) {
            ADD_FAILURE() << rel << ": a row of the copy's own files among the source's";
        }
        const std::string& want = found->second;
        const std::string size = SizeText(found->first, rel);
        if ((row.ResultText != want || row.SizeText != size) && ++wrong <= 10) {
            ADD_FAILURE() << rel << ": got " << row.SizeText << " / " << row.ResultText << ", want "
                          << size << " / " << want;
        }
    }
    EXPECT_LE(wrong, 10) << "and more rows are wrong: " << wrong << " in all";
    std::sort(listed.begin(), listed.end());
    EXPECT_TRUE(listed == wanted) << "rows: " << listed.size() << ", files: " << wanted.size();
}

std::string ListText(const FileTable& table, const std::string& tree, const Expected& expected) {
    std::string text;
    for (const FileRow& row : table.Rows()) {
        const std::string rel = RelativePath(row);
        text += row.FileName + "\r\n" + row.Folder + "\r\n" + std::to_string(SizeOf(tree, rel)) +
                "\r\n" + expected(rel) + "\r\n";
    }
    return text;
}

std::string CsvText(const FileTable& table, const std::string& tree, const Expected& expected,
                    const std::string& copyTree) {
    std::string text;
    for (const FileRow& row : table.Rows()) {
        const std::string rel = RelativePath(row);
        const auto found = Want(rel, tree, expected, copyTree);
        if (!found) throw std::runtime_error("no file for the row " + rel);
        text += row.FileName + "\t" + row.Folder + "\t" + SizeText(found->first, rel) + "\t" +
                found->second + "\r\n";
    }
    return text;
}

std::string Scenario::ExportCsv() {
    static int exports = 0;
    const std::string path = OutPath("table" + std::to_string(++exports) + ".csv");
    window.saveAnswers.push_back(path);
    CSV1Click(s);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace korvane::test
