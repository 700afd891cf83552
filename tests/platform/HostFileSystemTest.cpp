// The file layer's contract on the host's own implementation, the same cases on Linux and Windows.
#include "platform/HostFileSystem.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/TempTree.h"

namespace korvane::test {
namespace {

class HostFileSystemTest : public ::testing::Test {
  protected:
    HostFileSystemTest() { drives.Set('Q', tree.root()); }

    std::set<std::string> NamesIn(const std::string& folder) {
        std::vector<DirEntry> entries;
        EXPECT_TRUE(fs->ListFolder(folder, entries));
        std::set<std::string> names;  // Windows lists sorted, Linux in hash order
        for (const DirEntry& e : entries) names.insert(e.name);
        return names;
    }

    TempTree tree;
    DriveMap drives;
    std::unique_ptr<FileSystem> fs = MakeHostFileSystem(drives);
};

// Names are UTF-8 on both systems; a long Japanese name (240 bytes, 80 characters) is listed,
// sized and read under the name it was written with.
TEST_F(HostFileSystemTest, JapaneseAndLongNamesAreListedSizedAndRead) {
    std::string longName;
    for (int i = 0; i < 80; ++i) longName += "長";
    tree.WriteFile("データ/" + longName, "12345");
    tree.WriteFile("データ/名前.txt", "abc");
    EXPECT_EQ(NamesIn("Q:\\データ"), (std::set<std::string>{longName, "名前.txt"}));
    EXPECT_EQ(fs->SizeOf("Q:\\データ\\" + longName), 5u);
    auto file = fs->Open("Q:\\データ\\名前.txt", ShareMode::Read);
    ASSERT_TRUE(file);
    char buffer[8];
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST_F(HostFileSystemTest, AtomicSaveReplacesAndLeavesNoTemporaryFile) {
    const std::string path = tree.Host("一覧/結果.md5");
    tree.MakeFolder("一覧");
    ASSERT_TRUE(fs->WriteWholeAtomically(path, "first version, long").ok);
    ASSERT_TRUE(fs->WriteWholeAtomically(path, "second").ok);
    std::string back;
    ASSERT_TRUE(fs->ReadWhole(path, back));
    EXPECT_EQ(back, "second");
    EXPECT_EQ(NamesIn("Q:\\一覧"), std::set<std::string>{"結果.md5"});
}

}  // namespace
}  // namespace korvane::test
