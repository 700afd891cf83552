// The fault-injecting decorator the step tests rely on behaves like a damaged or vanished disc.
#include "support/FaultyFileSystem.h"

#include <gtest/gtest.h>

#include "platform/HostFileSystem.h"
#include "support/TempTree.h"

namespace korvane::test {
namespace {

class FaultyFileSystemTest : public ::testing::Test {
  protected:
    FaultyFileSystemTest() {
        drives.Set('Q', tree.root());
        tree.WritePattern("DATA/A.BIN", 10000);
        tree.WritePattern("DATA/B.BIN", 10);
    }

    TempTree tree;
    DriveMap drives;
    std::unique_ptr<FileSystem> real = MakeHostFileSystem(drives);
    FaultyFileSystem fs{*real};
};

TEST_F(FaultyFileSystemTest, ReadLimitCutsMidChunkThenDeliversNothing) {
    fs.FailReadAfter("Q:\\DATA\\A.BIN", 5000);
    auto file = fs.Open("Q:\\DATA\\A.BIN", ShareMode::Read);
    ASSERT_TRUE(file);
    char buffer[4096];
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 4096u);
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 904u);
    EXPECT_EQ(std::string(buffer, 904), PatternBytes(5000).substr(4096));
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file->Read(buffer, 1), 0u);
    EXPECT_EQ(file->Position(), 5000u);
    EXPECT_EQ(file->Size(), 10000u);
}

TEST_F(FaultyFileSystemTest, FailOpenHitsOnlyThatPath) {
    fs.FailOpen("Q:\\DATA\\A.BIN");
    EXPECT_FALSE(fs.Open("Q:\\DATA\\A.BIN", ShareMode::Read));
    EXPECT_TRUE(fs.Open("Q:\\DATA\\B.BIN", ShareMode::Read));
    EXPECT_TRUE(fs.FileExists("Q:\\DATA\\A.BIN"));
}

TEST_F(FaultyFileSystemTest, FailListingWithAndWithoutEntries) {
    std::vector<DirEntry> entries;
    fs.FailListing("Q:\\DATA\\");
    EXPECT_FALSE(fs.ListFolder("Q:\\DATA\\", entries));
    EXPECT_TRUE(entries.empty());
    fs.FailListing("Q:\\DATA\\", true);
    EXPECT_FALSE(fs.ListFolder("Q:\\DATA\\", entries));
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_TRUE(fs.ListFolder("Q:\\", entries));
}

TEST_F(FaultyFileSystemTest, VanishFailsEverythingIncludingOpenFiles) {
    auto file = fs.Open("Q:\\DATA\\A.BIN", ShareMode::Read);
    ASSERT_TRUE(file);
    char buffer[100];
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 100u);
    fs.Vanish();
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 0u);
    std::vector<DirEntry> entries{DirEntry{"stale", false, 1}};
    EXPECT_FALSE(fs.ListFolder("Q:\\DATA\\", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(fs.Open("Q:\\DATA\\B.BIN", ShareMode::Read));
    EXPECT_FALSE(fs.FileExists("Q:\\DATA\\B.BIN"));
    EXPECT_EQ(fs.SizeOf("Q:\\DATA\\B.BIN"), std::nullopt);
}

}  // namespace
}  // namespace korvane::test
