// korvane-cli run as a program on mounted disc images: exit codes and the per-file lines.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "cli/CliRun.h"
#include "support/DiscImage.h"
#include "support/TempTree.h"

namespace korvane::test {
namespace {

// korvane-cli sees the discs this process mounts and no other: not the machine's, not those
// another test mounts meanwhile.
class OwnDiscsOnly : public ::testing::Environment {
  public:
    void SetUp() override { setenv("KORVANE_MOUNT_PREFIX", MountPointPrefix().c_str(), 1); }
};
const ::testing::Environment* const kOwnDiscsOnly =
    ::testing::AddGlobalTestEnvironment(new OwnDiscsOnly);

// The source, a good and a bad copy of it, and the source cut short inside DIR/B.BIN.
class CliDiscs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!DiscToolsProblem().empty()) return;
        for (TempTree* tree : {&source_, &bad_}) {
            tree->WriteFile("A.TXT", "alpha\n");
            tree->WritePattern("DIR/B.BIN", 300000, 7);
            tree->WriteFile("C.TXT", "gamma\n");
        }
        bad_.WritePattern("DIR/B.BIN", 300000, 8);
        std::filesystem::remove(bad_.Host("C.TXT"));
        BuildImage(source_.root(), Image("source"), "SOURCE");
        BuildImage(source_.root(), Image("good"), "GOOD");
        BuildImage(bad_.root(), Image("bad"), "BAD");
        const ImageExtent b = FileExtent(Image("source"), "/DIR/B.BIN");
        CutImage(Image("source"), Image("cut"), b.Start() + b.bytes / 2);
    }
    void SetUp() override { KORVANE_REQUIRE_DISC_TOOLS(); }

    static std::string Image(const std::string& name) { return work_.Host(name + ".iso"); }
    std::string Mount(const std::string& name) {
        discs_.push_back(std::make_unique<MountedDisc>(drives_, 'D', Image(name)));
        return ShellQuote(discs_.back()->mountPoint());
    }

    static TempTree work_, source_, bad_;
    TempTree out_;
    DriveMap drives_;
    std::vector<std::unique_ptr<MountedDisc>> discs_;
};
TempTree CliDiscs::work_, CliDiscs::source_, CliDiscs::bad_;

const std::set<std::string> kAllOk = {":\\A.TXT: OK", ":\\C.TXT: OK", ":\\DIR\\B.BIN: OK"};

TEST_F(CliDiscs, CompareTwoDrives) {
    const std::string source = Mount("source");
    EXPECT_EQ(Cli("compare " + source + " " + Mount("good")).files, kAllOk);
    const CliRun bad = Cli("compare " + source + " " + Mount("bad"));
    EXPECT_EQ(bad.code, 1) << bad.output;
    EXPECT_EQ(bad.files, (std::set<std::string>{":\\A.TXT: OK", ":\\C.TXT: File Not Found",
                                                ":\\DIR\\B.BIN: binary mismatch"}));
    EXPECT_NE(bad.output.find("正しくコピーされていません"), std::string::npos);
}

TEST_F(CliDiscs, CompareOneDriveExchangesTheDiscWithTheSwapCommand) {
    for (const char* copy : {"good", "bad"}) {
        const std::string drive = Mount("source");
        const std::string swap = "{ fusermount -u " + drive + " || fusermount3 -u " + drive +
                                 "; } && fuseiso -n " + ShellQuote(Image(copy)) + " " + drive;
        const CliRun run = Cli("compare --swap " + drive + " --swap-command " + ShellQuote(swap));
        if (std::string(copy) == "good") {
            EXPECT_EQ(run.code, 0) << run.output;
            EXPECT_EQ(run.files, kAllOk);
        } else {
            EXPECT_EQ(run.code, 1) << run.output;
            EXPECT_TRUE(run.files.count(":\\C.TXT: File Not Found")) << run.output;
            EXPECT_NE(run.output.find("\\DIR\\B.BIN: FAILED ("), std::string::npos);
        }
        discs_.clear();
    }
}

// The disc's mount folder left as it was by the exchange is the source again, never its copy; a
// plain folder cannot be exchanged at all.
TEST_F(CliDiscs, OneDriveCompareNeverTakesTheSourceForItsCopy) {
    const CliRun same = Cli("compare --swap " + Mount("source") + " --swap-command true");
    EXPECT_EQ(same.code, 2) << same.output;
    EXPECT_TRUE(same.files.empty()) << same.output;
    EXPECT_NE(same.output.find("the swap command left the source disc in the drive"),
              std::string::npos)
        << same.output;
    const CliRun folder = Cli("compare --swap " + ShellQuote(source_.root()) + " --interactive");
    EXPECT_EQ(folder.code, 2) << folder.output;
    EXPECT_NE(folder.output.find("is a plain folder, which no exchange of discs can change"),
              std::string::npos)
        << folder.output;
}

TEST_F(CliDiscs, CalcWritesListsThatVerifyAndMd5sumAccept) {
    const std::string source = Mount("source");
    const std::string list = out_.Host("source.txt");
    const CliRun calc = Cli("calc " + source + " -o " + ShellQuote(list));
    EXPECT_EQ(calc.code, 0) << calc.output;
    EXPECT_EQ(calc.files.size(), 3u);
    EXPECT_EQ(Cli("verify " + ShellQuote(list) + " " + Mount("good")).files, kAllOk);
    const CliRun bad = Cli("verify " + ShellQuote(list) + " " + Mount("bad") + " --quiet");
    EXPECT_EQ(bad.code, 1) << bad.output;
    EXPECT_EQ(bad.files.size(), 2u) << bad.output;  // only what is not OK
    EXPECT_TRUE(bad.files.count(":\\C.TXT: File Not Found")) << bad.output;

    const std::string md5 = out_.Host("source.md5");
    EXPECT_EQ(Cli("calc " + source + " -o " + ShellQuote(md5) + " --format md5sum").code, 0);
    int status = -1;
    RunHost("cd " + source + " && md5sum --quiet -c " + ShellQuote(md5), &status);
    EXPECT_EQ(status, 0);

    const CliRun cut = Cli("calc " + Mount("cut") + " -o " + ShellQuote(out_.Host("cut.txt")));
    EXPECT_EQ(cut.code, 1) << cut.output;
    EXPECT_TRUE(cut.files.count(":\\DIR\\B.BIN: Read Error")) << cut.output;
}

TEST_F(CliDiscs, ReadTestAndDrives) {
    const std::string source = Mount("source");
    EXPECT_EQ(Cli("readtest " + source).files, kAllOk);
    const CliRun cut = Cli("readtest " + Mount("cut") + " --json");
    EXPECT_EQ(cut.code, 1) << cut.output;
    EXPECT_NE(cut.output.find("\"result\":\"Read Error\""), std::string::npos) << cut.output;

    const CliRun drives = Cli("drives");
    EXPECT_EQ(drives.code, 0);
    EXPECT_NE(drives.output.find(discs_.front()->mountPoint()), std::string::npos);
    EXPECT_EQ(Cli("compare " + source).code, 2);
}

// Ctrl-C during a long digest ends the run as 中断 does: exit 130 and no list.
TEST(Cli, InterruptDuringADigestWritesNoList) {
    TempTree tree;
    // The reader polls at every second percent of a file: 160 MB here, the run is much longer.
    tree.WriteSparse("HUGE.BIN", std::uint64_t(8) << 30);
    TempTree out;  // a list on the source itself is refused
    const std::string list = out.Host("list.txt");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const char* program = std::getenv("KORVANE_CLI");
        execl(program, program, "calc", tree.root().c_str(), "-o", list.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_FALSE(std::filesystem::exists(list));
}

// A name holding a line feed cannot forge a verdict line; names that are not UTF-8 stay apart
// in JSON.
TEST(Cli, NamesThatWouldBreakALineAreEscapedAndKeptApart) {
    TempTree tree;
    tree.WriteFile("X.BIN: OK\nD:", "x");
    tree.WriteFile("R\rS", "r");
    const CliRun text = Cli("readtest " + ShellQuote(tree.root()));
    EXPECT_EQ(text.code, 0) << text.output;
    EXPECT_TRUE(text.files.empty()) << text.output;  // no line reads as a plain "D:\..." line
    EXPECT_NE(text.output.find(":\\\\X.BIN: OK\\nD:: OK\n"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find(":\\\\R\\rS: OK\n"), std::string::npos) << text.output;
    EXPECT_EQ(text.output.find("\nD:"), std::string::npos) << text.output;

    TempTree odd;
    odd.WriteFile("\xff", "a");
    odd.WriteFile("\xfe", "b");
    const CliRun json = Cli("readtest " + ShellQuote(odd.root()) + " --json");
    EXPECT_NE(json.output.find("5cff\"}"), std::string::npos) << json.output;
    EXPECT_NE(json.output.find("5cfe\"}"), std::string::npos) << json.output;
}

TEST(Cli, DrivesWithTabsOrLineBreaksInTheirMountPointsTakeOneLineEach) {
    TempTree tree;
    const std::string tab = tree.MakeFolder("a\tb");
    const std::string feed = tree.MakeFolder("c\nd");
    const CliRun run =
        Cli("drives", "KORVANE_EXTRA_DRIVES=" + ShellQuote("X=" + tab + ";Y=" + feed) + " ");
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_NE(run.output.find("\\X:\\\\\t-\t" + tree.root() + "/a\\tb\ta\\tb\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("\\Y:\\\\\t-\t" + tree.root() + "/c\\nd\tc\\nd\n"), std::string::npos)
        << run.output;
}

// As md5sum: results that cannot be written are an error, not a finished run.
TEST(Cli, OutputThatCannotBeWrittenEndsWithStatusTwo) {
    TempTree tree;
    tree.WriteFile("A.TXT", "alpha\n");
    for (const char* output : {">/dev/full", ">&-"}) {
        int code = -1;
        const std::string errors =
            RunHost(Program() + " readtest " + ShellQuote(tree.root()) + " 2>&1 " + output, &code);
        EXPECT_EQ(code, 2) << output;
        EXPECT_NE(errors.find("korvane-cli: write error: "), std::string::npos) << errors;
    }
}

// No output replaces what the run reads, or a node that is not a file; a node's errors count.
TEST(Cli, OutputsAreNeverPutInPlaceOfWhatTheRunReadsOrOfANode) {
    TempTree tree;
    const std::string source = ShellQuote(tree.root() + "/SRC");
    tree.WriteFile("SRC/B.TXT", "beta\n");
    const std::string list = ShellQuote(tree.Host("list.txt"));
    ASSERT_EQ(Cli("calc " + source + " -o " + list).code, 0);
    const std::string saved = tree.ReadFile("list.txt");
    for (const std::string& args : {"calc " + source + " -o " + source + "/B.TXT",
                                    "calc " + source + " -o " + source + "/NEW",
                                    "verify " + list + " " + source + " --tsv " + list,
                                    "calc " + source + " -o " + list + " --tsv " + list}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.code, 2) << args << "\n" << run.output;
        EXPECT_TRUE(run.files.empty()) << run.output;  // refused before the run
    }
    EXPECT_EQ(tree.ReadFile("SRC/B.TXT"), "beta\n");
    EXPECT_EQ(tree.ReadFile("list.txt"), saved);
    EXPECT_FALSE(std::filesystem::exists(tree.Host("SRC/NEW")));

    for (const char* format : {"korvane", "md5sum"}) {
        const CliRun full = Cli("calc " + source + " -o /dev/full --format " + format);
        EXPECT_EQ(full.code, 2) << full.output;
        EXPECT_NE(full.output.find("(No space left on device)"), std::string::npos) << full.output;
    }
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST(Cli, ABareLetterIsTheFolderOfThatName) {
    TempTree tree;
    tree.WriteFile("d/A.TXT", "alpha\n");
    const CliRun run = Cli("readtest d", "cd " + ShellQuote(tree.root()) + " && ");
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_EQ(run.files, std::set<std::string>{":\\A.TXT: OK"}) << run.output;
}

TEST(Cli, AListKeptOnTheCopyItListsIsNoExtraFile) {
    TempTree tree;
    tree.WriteFile("d/A.TXT", "alpha\n");
    ASSERT_EQ(Cli("calc " + ShellQuote(tree.root() + "/d") + " --format md5sum -o " +
                  ShellQuote(tree.root() + "/LIST.md5"))
                  .code,
              0);
    std::filesystem::rename(tree.root() + "/LIST.md5", tree.root() + "/d/LIST.md5");
    const CliRun run = Cli("verify " + ShellQuote(tree.root() + "/d/LIST.md5") + " " +
                           ShellQuote(tree.root() + "/d"));
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_EQ(run.files, std::set<std::string>{":\\A.TXT: OK"}) << run.output;
}

}  // namespace
}  // namespace korvane::test
