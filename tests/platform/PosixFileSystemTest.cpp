// The POSIX file layer on real temporary trees: listings, opens with share modes, reads, writes.
#include "platform/posix/PosixFileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <tuple>

#include "support/TempTree.h"

namespace korvane {
namespace {

using test::PatternBytes;
using test::TempTree;

class PosixFileSystemTest : public ::testing::Test {
  protected:
    PosixFileSystemTest() { drives.Set('Q', tree.root()); }

    using Row = std::tuple<std::string, bool, std::uint64_t>;

    std::vector<Row> Listing(const std::string& folder, bool expectOk = true) {
        std::vector<DirEntry> entries;
        EXPECT_EQ(fs.ListFolder(folder, entries), expectOk);
        std::vector<Row> rows;
        for (const auto& e : entries) rows.emplace_back(e.name, e.isFolder, e.size);
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    TempTree tree;
    DriveMap drives;
    PosixFileSystem fs{drives};
};

// Run with and without the entry kinds readdir reports, since disc filesystems often give none.
class ListingTest : public PosixFileSystemTest, public ::testing::WithParamInterface<bool> {};

// Nothing is followed: a link is listed as a link with its target text, whatever it points at.
TEST_P(ListingTest, ListsEveryEntryForWhatItIs) {
    tree.WriteFile("DATA/A.BIN", "abc");
    tree.WriteFile("DATA/.hidden", "x");
    tree.WriteFile("DATA/\xff\xfe\x81.bin", "12345");  // not UTF-8: the bytes must survive
    tree.MakeFolder("DATA/SUB");
    tree.MakeFolder("DATA/EMPTY");
    ASSERT_EQ(symlink("A.BIN", tree.Host("DATA/TOFILE").c_str()), 0);
    ASSERT_EQ(symlink("SUB", tree.Host("DATA/TOFOLDER").c_str()), 0);
    ASSERT_EQ(symlink("..", tree.Host("DATA/SUB/UP").c_str()), 0);  // a circle if followed
    ASSERT_EQ(symlink("NOWHERE", tree.Host("DATA/DANGLING").c_str()), 0);
    ASSERT_EQ(mkfifo(tree.Host("DATA/PIPE").c_str(), 0644), 0);

    auto list = [&](std::string_view folder) {
        std::vector<DirEntry> entries;
        EXPECT_TRUE(PosixFileSystem::ListHostFolder(tree.Host(folder), entries, GetParam()));
        std::map<std::string, std::string> rows;
        for (const auto& e : entries) {
            rows[e.name] = e.isFolder                  ? "folder"
                           : e.kind == EntryKind::File ? "file " + std::to_string(e.size)
                           : e.kind == EntryKind::Link ? "link " + e.linkTarget
                           : e.kind == EntryKind::Fifo ? "fifo"
                                                       : "other";
        }
        return rows;
    };
    EXPECT_EQ(list("DATA"), (std::map<std::string, std::string>{{".hidden", "file 1"},
                                                                {"A.BIN", "file 3"},
                                                                {"DANGLING", "link NOWHERE"},
                                                                {"EMPTY", "folder"},
                                                                {"PIPE", "fifo"},
                                                                {"SUB", "folder"},
                                                                {"TOFILE", "link A.BIN"},
                                                                {"TOFOLDER", "link SUB"},
                                                                {"\xff\xfe\x81.bin", "file 5"}}));
    EXPECT_EQ(list("DATA/SUB"), (std::map<std::string, std::string>{{"UP", "link .."}}));
    EXPECT_TRUE(list("DATA/EMPTY/").empty());
}

INSTANTIATE_TEST_SUITE_P(EntryKinds, ListingTest, ::testing::Bool());

TEST_F(PosixFileSystemTest, ListingFailsForMissingFolderAndUnmappedDrive) {
    tree.WriteFile("A.BIN", "abc");
    EXPECT_TRUE(Listing("Q:\\MISSING\\", false).empty());
    EXPECT_TRUE(Listing("R:\\", false).empty());
    EXPECT_EQ(Listing("q:\\").size(), 1u);  // letters are case-insensitive
}

TEST_F(PosixFileSystemTest, SizesAboveFourGiBKeepAllBits) {
    constexpr std::uint64_t kSize = (std::uint64_t{5} << 30) + 3;
    tree.WriteSparse("BIG.ISO", kSize);
    std::vector<DirEntry> entries;
    ASSERT_TRUE(fs.ListFolder("Q:\\", entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, kSize);
    EXPECT_EQ(fs.SizeOf("Q:\\BIG.ISO"), kSize);
    auto file = fs.Open("Q:\\BIG.ISO", ShareMode::Read);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), kSize);
}

TEST_F(PosixFileSystemTest, ReadFillsWholeChunksThenTheRestThenNothing) {
    const std::string content = PatternBytes(10000);
    tree.WriteFile("A.BIN", content);
    auto file = fs.Open("Q:\\A.BIN", ShareMode::Read);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 10000u);
    std::string got;
    char buffer[4096];
    for (std::size_t expected : {4096u, 4096u, 1808u, 0u, 0u}) {
        std::size_t n = file->Read(buffer, sizeof buffer);
        EXPECT_EQ(n, expected);
        got.append(buffer, n);
    }
    EXPECT_EQ(got, content);
    EXPECT_EQ(file->Position(), 10000u);
}

TEST_F(PosixFileSystemTest, OpenRefusesWhatIsNoRegularFile) {
    tree.MakeFolder("SUB");
    ASSERT_EQ(mkfifo(tree.Host("PIPE").c_str(), 0644), 0);  // must not wait for a writer
    EXPECT_FALSE(fs.Open("Q:\\SUB", ShareMode::Read));
    EXPECT_FALSE(fs.Open("Q:\\PIPE", ShareMode::Read));
    EXPECT_FALSE(fs.Open("Q:\\MISSING", ShareMode::Read));
    EXPECT_FALSE(fs.Open("R:\\A.BIN", ShareMode::Read));
}

struct ShareCase {
    ShareMode first;
    ShareMode second;
    bool secondOpens;
};

class ShareModeTest : public PosixFileSystemTest,
                      public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareModeTest, SecondOpenHonoursTheFirst) {
    tree.WriteFile("A.BIN", "abc");
    auto first = fs.Open("Q:\\A.BIN", GetParam().first);
    ASSERT_TRUE(first);
    EXPECT_EQ(fs.Open("Q:\\A.BIN", GetParam().second) != nullptr, GetParam().secondOpens);
    first.reset();  // closing gives the file back
    EXPECT_TRUE(fs.Open("Q:\\A.BIN", ShareMode::Exclusive));
}

INSTANTIATE_TEST_SUITE_P(Modes, ShareModeTest,
                         ::testing::Values(ShareCase{ShareMode::Read, ShareMode::Read, true},
                                           ShareCase{ShareMode::Read, ShareMode::Exclusive, false},
                                           ShareCase{ShareMode::Exclusive, ShareMode::Read, false},
                                           ShareCase{ShareMode::Exclusive, ShareMode::Exclusive,
                                                     false}));

// A shared lock held through another open file description is what another program's
// flock(LOCK_SH) looks like to this one; an exclusive lock there is a writer's.
TEST_F(PosixFileSystemTest, OtherReadersLocksNeverKeepTheFileFromBeingRead) {
    tree.WriteFile("A.BIN", "abc");
    const int other = open(tree.Host("A.BIN").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_SH), 0);
    {
        auto file = fs.Open("Q:\\A.BIN", ShareMode::Exclusive);
        ASSERT_TRUE(file);
        EXPECT_FALSE(fs.Open("Q:\\A.BIN", ShareMode::Exclusive));  // still one open here only
        EXPECT_FALSE(fs.Open("Q:\\A.BIN", ShareMode::Read));
    }
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    EXPECT_FALSE(fs.Open("Q:\\A.BIN", ShareMode::Read));
    close(other);
}

TEST_F(PosixFileSystemTest, ExistsAndSizeOfOnlyForRegularFilesNeverThroughALink) {
    tree.WriteFile("A.BIN", "abc");
    tree.WriteFile("SUB/B.BIN", "abc");
    ASSERT_EQ(symlink("A.BIN", tree.Host("LINK").c_str()), 0);
    ASSERT_EQ(symlink("SUB", tree.Host("TOSUB").c_str()), 0);  // as ETC -> /etc on a disc
    EXPECT_TRUE(fs.FileExists("Q:\\A.BIN"));
    EXPECT_TRUE(fs.FileExists("Q:\\SUB\\B.BIN"));
    EXPECT_FALSE(fs.FileExists("Q:\\LINK"));
    EXPECT_FALSE(fs.FileExists("Q:\\SUB"));
    EXPECT_FALSE(fs.FileExists("Q:\\MISSING"));
    EXPECT_FALSE(fs.FileExists("R:\\A.BIN"));
    EXPECT_EQ(fs.SizeOf("Q:\\A.BIN"), 3u);
    EXPECT_EQ(fs.SizeOf("Q:\\LINK"), std::nullopt);
    EXPECT_EQ(fs.SizeOf("Q:\\SUB"), std::nullopt);
    EXPECT_EQ(fs.SizeOf("Q:\\MISSING"), std::nullopt);
    EXPECT_EQ(fs.LinkTarget("Q:\\LINK"), "A.BIN");
    EXPECT_EQ(fs.LinkTarget("Q:\\A.BIN"), std::nullopt);
    // Nothing is reached through a link, neither at the end of the path nor on the way.
    EXPECT_FALSE(fs.Open("Q:\\LINK", ShareMode::Read));
    EXPECT_FALSE(fs.FileExists("Q:\\TOSUB\\B.BIN"));
    EXPECT_EQ(fs.SizeOf("Q:\\TOSUB\\B.BIN"), std::nullopt);
    EXPECT_FALSE(fs.Open("Q:\\TOSUB\\B.BIN", ShareMode::Read));
    std::vector<DirEntry> entries;
    EXPECT_FALSE(fs.ListFolder("Q:\\TOSUB\\", entries));
    EXPECT_TRUE(fs.ListFolder("Q:\\SUB\\", entries));
}

TEST_F(PosixFileSystemTest, ReadWholeReadsFilesOnly) {
    const std::string content = PatternBytes(70000);
    std::string out;
    EXPECT_TRUE(fs.ReadWhole(tree.WriteFile("A.BIN", content), out));
    EXPECT_EQ(out, content);
    EXPECT_TRUE(fs.ReadWhole(tree.WriteFile("EMPTY", ""), out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(fs.ReadWhole(tree.MakeFolder("SUB"), out));
    EXPECT_FALSE(fs.ReadWhole(tree.Host("MISSING"), out));
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::vector<std::string> NamesIn(PosixFileSystem& fs) {
    std::vector<DirEntry> entries;
    fs.ListFolder("Q:\\", entries);
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
}

TEST_F(PosixFileSystemTest, AtomicWriteCreatesAndReplaces) {
    const std::string path = tree.Host("LIST.md5");
    ASSERT_TRUE(fs.WriteWholeAtomically(path, "first version, long").ok);
    EXPECT_EQ(tree.ReadFile("LIST.md5"), "first version, long");
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(ModeOf(path), 0666 & ~mask);

    chmod(path.c_str(), 0640);
    ASSERT_TRUE(fs.WriteWholeAtomically(path, "second").ok);
    EXPECT_EQ(tree.ReadFile("LIST.md5"), "second");
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(NamesIn(fs), std::vector<std::string>{"LIST.md5"});
}

// The new list must be on the device before it replaces the old one, and the replacement after.
TEST_F(PosixFileSystemTest, AtomicWriteSyncsTheNewFileThenItsFolder) {
    struct Watching : PosixFileSystem {
        using PosixFileSystem::PosixFileSystem;
        // Per sync: what was flushed, and what the target held at that moment.
        int Sync(int fd) override {
            char data[16] = {};
            const ssize_t n = pread(fd, data, sizeof data, 0);
            syncs.push_back(
                (n < 0 ? std::string("folder") : std::string(data, static_cast<std::size_t>(n))) +
                "/" + tree->ReadFile("LIST.md5"));
            return PosixFileSystem::Sync(fd);
        }
        TempTree* tree = nullptr;
        std::vector<std::string> syncs;
    } watching{drives};
    watching.tree = &tree;
    const std::string path = tree.WriteFile("LIST.md5", "old");
    ASSERT_TRUE(watching.WriteWholeAtomically(path, "new").ok);
    EXPECT_EQ(watching.syncs, (std::vector<std::string>{"new/old", "folder/new"}));
}

TEST_F(PosixFileSystemTest, AtomicWriteIntoMissingFolderFailsWithReason) {
    WriteResult r = fs.WriteWholeAtomically(tree.Host("MISSING/LIST.md5"), "data");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "No such file or directory");
}

// A write that breaks off halfway (here at a file size limit, as on a full disk) must leave the
// old file as it was and no temporary behind.
TEST_F(PosixFileSystemTest, FailedWriteLeavesOldFileWhole) {
    const std::string old = PatternBytes(1000);
    const std::string path = tree.WriteFile("LIST.md5", old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    WriteResult r = fs.WriteWholeAtomically(path, PatternBytes(100000, 2));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "File too large");
    EXPECT_EQ(tree.ReadFile("LIST.md5"), old);
    EXPECT_EQ(NamesIn(fs), std::vector<std::string>{"LIST.md5"});
}

// Writing to a FIFO, a link to one or a device goes into it; it is never replaced by a file.
TEST_F(PosixFileSystemTest, AtomicWriteToANodeWritesIntoItAndReportsItsErrors) {
    const std::string fifo = tree.Host("PIPE");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = tree.Host("LINK");
    ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
    // Nobody reads: refused at once, not waited for.
    EXPECT_EQ(fs.WriteWholeAtomically(fifo, "list\n").message, "No such device or address");
    for (const std::string& path : {fifo, link}) {
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        const WriteResult r = fs.WriteWholeAtomically(path, "list\n");
        char got[16] = {};
        const ssize_t n = read(reader, got, sizeof got);
        close(reader);
        EXPECT_TRUE(r.ok) << r.message;
        EXPECT_EQ(std::string(got, n > 0 ? static_cast<std::size_t>(n) : 0), "list\n");
        struct stat st {};
        ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
        ASSERT_TRUE(S_ISFIFO(st.st_mode)) << path;
    }

    const WriteResult full = fs.WriteWholeAtomically("/dev/full", "list\n");
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.message, "No space left on device");
}

}  // namespace
}  // namespace korvane
