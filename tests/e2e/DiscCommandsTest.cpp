// Every command on mounted disc images, each table judged against md5sum and cmp on the trees.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "core/Commands.h"
#include "e2e/DiscScenario.h"

namespace korvane::test {
namespace {

const char kExchange[] = "コピーCDと入れ替えてください";
const char kSuccess[] = "正常に終了しました";
const char kAlarm[] = "正しくコピーされていません";

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct CompareCase {
    const char* name;
    Disc DiscLibrary::*source;
    Disc DiscLibrary::*copy;
    int driveCount;
    const char* outcome;
};

void PrintTo(const CompareCase& c, std::ostream* os) {
    *os << c.name;
}

class CompareDiscs : public DiscScenario, public ::testing::WithParamInterface<CompareCase> {};

TEST_P(CompareDiscs, EveryRowAsTheOracleSaysAndTheVerdictFollows) {
    const CompareCase& c = GetParam();
    const Disc& source = Lib().*c.source;
    const Disc& copy = Lib().*c.copy;
    MountedDisc master(drives, 'D', source.image);
    std::unique_ptr<MountedDisc> target;
    window.master = "D:\\";
    window.driveCount = c.driveCount;
    if (c.driveCount == 1) {
        target = std::make_unique<MountedDisc>(drives, 'E', copy.image);
        window.copy = "E:\\";
    } else {
        // The user takes the source out of the one drive and puts the copy in.
        window.onMessage = [&](const std::string& text) {
            if (text == kExchange) master.Swap(copy.image);
        };
    }

    N11Click(s);

    const Expected verdict = [&](const std::string& rel) {
        return c.driveCount == 1 ? BinaryVerdict(source, copy, rel)
                                 : DigestVerdict(source, copy, rel);
    };
    ExpectRows(s.table, source.tree, verdict, copy.tree);
    if (&copy == &Lib().badCopy) {
        for (const CopyFault& f : kCopyFaults) EXPECT_NE(verdict(f.path), "OK") << f.what;
    }
    EXPECT_EQ(window.messages,
              c.driveCount == 1 ? std::vector<std::string>{} : std::vector<std::string>{kExchange});
    EXPECT_EQ(Outcome(), c.outcome);
    EXPECT_EQ(ExportCsv(), CsvText(s.table, source.tree, verdict, copy.tree));
}

INSTANTIATE_TEST_SUITE_P(
    Discs, CompareDiscs,
    ::testing::Values(
        CompareCase{"OneDriveGoodCopy", &DiscLibrary::source, &DiscLibrary::goodCopy, 0, kSuccess},
        CompareCase{"OneDriveBadCopy", &DiscLibrary::source, &DiscLibrary::badCopy, 0, kAlarm},
        CompareCase{"TwoDrivesGoodCopy", &DiscLibrary::small, &DiscLibrary::smallCopy, 1, kSuccess},
        // Two empty files are equal: a disc holding them earns the success text too.
        CompareCase{"TwoDrivesGoodCopyWithEmptyFiles", &DiscLibrary::source, &DiscLibrary::goodCopy,
                    1, kSuccess},
        CompareCase{"TwoDrivesBadCopy", &DiscLibrary::source, &DiscLibrary::badCopy, 1, kAlarm}),
    [](const auto& p) { return std::string(p.param.name); });

class SavedListAgainstCopy : public DiscScenario,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(SavedListAgainstCopy, ListHoldsTheDigestsAndLoadingItJudgesTheCopy) {
    const Disc& source = Lib().source;
    const bool good = std::string(GetParam()) == "GoodCopy";
    const Disc& copy = good ? Lib().goodCopy : Lib().badCopy;
    const std::string list = OutPath("source.txt");
    {
        MountedDisc master(drives, 'D', source.image);
        window.master = "D:\\";
        window.saveAnswers.push_back(list);
        CRC321Click(s);
    }
    const Expected digest = [&](const std::string& rel) { return source.md5.at(rel); };
    ExpectRows(s.table, source.tree, digest);
    EXPECT_EQ(ReadHostFile(list), ListText(s.table, source.tree, digest));
    EXPECT_EQ(Outcome(), "");

    // Later, on another machine: only the copy, in another drive.
    MountedDisc other(drives, 'E', copy.image);
    window.master = "E:\\";
    window.openAnswers.push_back(list);
    CRC322Click(s);

    const Expected verdict = [&](const std::string& rel) {
        return DigestVerdict(source, copy, rel);
    };
    ExpectRows(s.table, source.tree, verdict, copy.tree, false);
    EXPECT_EQ(Outcome(), good ? kSuccess : kAlarm);
    EXPECT_TRUE(window.messages.empty()) << window.messages.front();
    EXPECT_EQ(ExportCsv(), CsvText(s.table, source.tree, verdict, copy.tree));
}

INSTANTIATE_TEST_SUITE_P(Discs, SavedListAgainstCopy, ::testing::Values("GoodCopy", "BadCopy"),
                         [](const auto& p) { return std::string(p.param); });

class DiscCommands : public DiscScenario {};

TEST_F(DiscCommands, ReadTestOnDamagedDiscNamesExactlyTheFilesPastTheCut) {
    const Disc& source = Lib().source;
    // The disc breaks inside the file whose data lies in the middle of the disc.
    std::vector<ImageFile> layout = ImageFiles(source.image);
    std::erase_if(layout, [](const ImageFile& f) { return f.extent.bytes == 0; });
    std::sort(layout.begin(), layout.end(),
              [](const ImageFile& a, const ImageFile& b) { return a.extent.lba < b.extent.lba; });
    const ImageFile& victim = layout[layout.size() / 2];
    const std::uint64_t cut = victim.extent.Start() + victim.extent.bytes / 2;
    const std::string damaged = OutPath("damaged.iso");
    CutImage(source.image, damaged, cut);

    // A file reads to its end only when all of its data lies before the cut.
    std::set<std::string> unreadable;
    for (const ImageFile& f : layout) {
        if (f.extent.End() > cut) unreadable.insert(f.path.substr(1));
    }
    ASSERT_TRUE(unreadable.count(victim.path.substr(1)));

    MountedDisc disc(drives, 'D', damaged);
    window.master = "D:\\";
    N2Click(s);

    const Expected verdict = [&](const std::string& rel) {
        return unreadable.count(rel) ? "Read Error" : "OK";
    };
    ExpectRows(s.table, source.tree, verdict);
    std::vector<std::string> listed;
    for (const FileRow& row : s.table.Rows()) {
        if (unreadable.count(RelativePath(row))) listed.push_back(row.Path());
    }
    EXPECT_EQ(window.readErrors, listed);
    EXPECT_EQ(Outcome(), "リードエラーのファイルがあります");
    EXPECT_TRUE(window.messages.empty()) << window.messages.front();
    EXPECT_EQ(ExportCsv(), CsvText(s.table, source.tree, verdict));
}

// Lists written by md5sum over the mounted disc, as lists made by other programs come.
TEST_F(DiscCommands, Md5sumAndTagListsVerifyTheDiscTheyWereMadeOf) {
    TempTree tree;
    tree.WriteFile("name with space.txt", "space\n");
    tree.WriteFile("line\nbreak.txt", "md5sum writes this name escaped\n");
    tree.WritePattern("sub/binary.bin", 70000, 9);
    const std::string image = OutPath("lists.iso");
    BuildImage(tree.root(), image, "LISTS");
    MountedDisc disc(drives, 'D', image);
    window.master = "D:\\";
    const std::string plain = OutPath("plain.md5");
    const std::string tag = OutPath("tag.md5");
    int status = 0;
    RunHost("cd " + ShellQuote(disc.mountPoint()) +
                " && find . -type f ! -name '*.bin' -exec md5sum {} + >" + ShellQuote(plain) +
                " && md5sum -b sub/binary.bin >>" + ShellQuote(plain) +
                " && find . -type f -exec md5sum --tag {} + >" + ShellQuote(tag),
            &status);
    ASSERT_EQ(status, 0);
    const std::string list = ReadHostFile(plain);
    ASSERT_NE(list.find("\\"), std::string::npos) << "md5sum escaped no name:\n" << list;
    const std::size_t binary = list.find(" *sub/binary.bin");
    ASSERT_NE(binary, std::string::npos) << list;

    const auto load = [&](const std::string& text) {
        const std::string path = OutPath("list" + std::to_string(window.openRequests.size()));
        std::ofstream(path, std::ios::binary) << text;
        window.openAnswers.push_back(path);
        CRC322Click(s);
    };
    const Expected ok = [](const std::string&) { return "OK"; };
    for (const std::string& text : {list, ReadHostFile(tag)}) {
        load(text);
        ExpectRows(s.table, tree.root(), ok);
        EXPECT_EQ(Outcome(), kSuccess) << text;
    }

    std::string changed = list;
    const std::size_t at = binary - 32;
    const std::string stored = changed.substr(at, 32);
    changed[at] = stored[0] == '0' ? '1' : '0';
    load(changed);
    ExpectRows(s.table, tree.root(), [&](const std::string& rel) {
        return rel == "sub/binary.bin" ? changed.substr(at, 32) + "NG(" + stored + ")" : "OK";
    });
    EXPECT_EQ(Outcome(), kAlarm);

    const std::vector<FileRow> before = s.table.Rows();
    load(list + "not a digest line\n");
    EXPECT_EQ(window.messages,
              std::vector<std::string>{"リストの 4 行目は読み込めません: not a digest line"});
    EXPECT_EQ(s.table.Rows(), before);
}

}  // namespace
}  // namespace korvane::test
