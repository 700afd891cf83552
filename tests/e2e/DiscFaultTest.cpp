// Faults on real discs: an unreadable folder, a disc pulled out mid-run, aborts at every stage,
// result files that cannot be written, and lists that are odd, foreign, broken or huge.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "core/Commands.h"
#include "e2e/DiscScenario.h"

namespace fs = std::filesystem;

namespace korvane::test {
namespace {

const char kExchange[] = "コピーCDと入れ替えてください";
const char kSuccess[] = "正常に終了しました";
const char kAlarm[] = "正しくコピーされていません";
const char kAborted[] = "中断しました";

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

std::vector<std::string> FolderNames(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// ---- An unreadable folder on the source ----

class SourceFaults : public DiscScenario {};

TEST_F(SourceFaults, UnreadableFolderIsReportedAndBlocksSuccess) {
    // One directory tree only, and a folder whose records span several blocks.
    TempTree tree;
    tree.WriteFile("empty.dat", "");
    for (int i = 0; i < 300; ++i) {
        tree.WriteFile("BROKEN/a_rather_long_file_name_number_" + std::to_string(i) + ".txt", "x");
    }
    const std::string whole = OutPath("whole.iso");
    BuildImage(tree.root(), whole, "BROKEN", DiscFormat::RockRidgeOnly);
    const ImageExtent records = FolderExtent(whole, "/BROKEN");
    ASSERT_GT(records.bytes, 2048u);
    const std::string damaged = OutPath("damaged.iso");
    CutImage(whole, damaged, records.Start() + 2048);

    // Only the empty file is listed; it digests without a read and matches on the copy, so a
    // run that overlooked the folder would report success.
    MountedDisc disc(drives, 'D', damaged);
    window.master = "D:\\";
    window.onMessage = [&](const std::string& text) {
        if (text == kExchange) disc.Swap(whole);
    };
    N11Click(s);

    EXPECT_EQ(s.unlistedFolders, std::vector<std::string>{"D:\\BROKEN\\"});
    EXPECT_NE(std::find(window.readErrors.begin(), window.readErrors.end(), "D:\\BROKEN\\"),
              window.readErrors.end());
    // The whole copy lists the folder's files: they are files the table has no row for.
    ASSERT_EQ(s.table.Count(), 301u);
    EXPECT_EQ(s.table.Row(0).ResultText, "OK");
    EXPECT_EQ(s.table.Row(300).Folder, "D:\\BROKEN\\");
    EXPECT_EQ(s.table.Row(300).ResultText, "Extra file");
    EXPECT_EQ(Outcome(), kAlarm);
    EXPECT_EQ(window.messages, std::vector<std::string>{kExchange});
}

// Rock Ridge links to a host file and a host folder: never followed, on the source or in a
// list, and the same links on two discs are equal.
TEST_F(SourceFaults, LinksAreReportedNeverFollowed) {
    TempTree host;  // what lies outside every disc
    host.WriteFile("secret", "host secret\n");
    host.WriteFile("etc/shadow", "host shadow\n");
    TempTree tree;
    tree.WriteFile("A.TXT", "a\n");
    ASSERT_EQ(symlink(host.Host("secret").c_str(), tree.Host("SECRET").c_str()), 0);
    ASSERT_EQ(symlink(host.Host("etc").c_str(), tree.Host("ETC").c_str()), 0);
    BuildImage(tree.root(), OutPath("links.iso"), "LINKS");
    BuildImage(tree.root(), OutPath("again.iso"), "AGAIN");
    MountedDisc disc(drives, 'D', OutPath("links.iso"));
    MountedDisc same(drives, 'E', OutPath("again.iso"));
    window.master = "D:\\";
    window.copy = "E:\\";
    using Rows = std::map<std::string, std::string>;
    const auto rows = [&] {
        Rows results;
        for (const FileRow& row : s.table.Rows()) results[row.Path()] = row.ResultText;
        return results;
    };

    N2Click(s);
    EXPECT_EQ(rows(), (Rows{{"D:\\A.TXT", "OK"}}));
    std::sort(window.readErrors.begin(), window.readErrors.end());
    EXPECT_EQ(window.readErrors, (std::vector<std::string>{"D:\\ETC", "D:\\SECRET"}));

    window.driveCount = 1;
    N11Click(s);
    EXPECT_EQ(rows(), (Rows{{"D:\\A.TXT", "OK"}}));
    EXPECT_EQ(Outcome(), kSuccess);

    const Md5Map hostMd5 = Md5sumOf(host.root());
    const std::string list = OutPath("through-links.md5");
    WriteHostFile(list, Md5sumOf(tree.root()).at("A.TXT") + "  A.TXT\n" + hostMd5.at("etc/shadow") +
                            "  ETC/shadow\n" + hostMd5.at("secret") + "  SECRET\n");
    window.driveCount = 0;
    window.openAnswers.push_back(list);
    CRC322Click(s);
    EXPECT_EQ(rows(), (Rows{{"D:\\A.TXT", "OK"},
                            {"D:\\ETC\\shadow", "File Not Found"},
                            {"D:\\SECRET", "Link -> " + host.Host("secret")},
                            {"D:\\ETC", "Extra link -> " + host.Host("etc")}}));
    EXPECT_EQ(Outcome(), kAlarm);
}

// ---- The disc vanishing in the middle of a run ----

struct VanishCase {
    const char* name;
    void (*command)(Session&);
    int driveCount;
    char dies;           // the drive whose disc is pulled out
    bool afterExchange;  // pulled out while the copy is being read in the one drive
    const char* bigRow;  // what the file being read when it vanished ends as; {md5} = its digest
    bool endsWithError;  // the next file cannot be opened, which ends the run
};

void PrintTo(const VanishCase& c, std::ostream* os) {
    *os << c.name;
}

class DiscVanishes : public DiscScenario, public ::testing::WithParamInterface<VanishCase> {};

TEST_P(DiscVanishes, RunEndsCleanlyAndTheSessionGoesOn) {
    const VanishCase& c = GetParam();
    const Disc& small = Lib().small;
    MountedDisc master(drives, 'D', small.image);
    MountedDisc target(drives, 'E', Lib().smallCopy.image);
    window.master = "D:\\";
    window.copy = "E:\\";
    window.driveCount = c.driveCount;
    window.saveAnswers.push_back(OutPath("list.txt"));
    bool exchanged = false;
    window.onMessage = [&](const std::string& text) {
        if (text != kExchange) return;
        master.Swap(Lib().smallCopy.image);
        exchanged = true;
    };
    bool killed = false;
    // Row 0 is the 2,000,000-byte file: pull the disc out once its reading has begun.
    window.onPump = [&](int) {
        if (killed || exchanged != c.afterExchange || window.scrolledRow != 0) return;
        if (window.gauges[0] <= 0 || window.gauges[0] >= 100) return;
        (c.dies == 'D' ? master : target).Kill();
        killed = true;
    };
    const std::size_t descriptors = OpenDescriptors();

    c.command(s);

    ASSERT_GE(s.table.Count(), 2u);
    ASSERT_EQ(s.table.Row(0).FileName, "a_big.bin") << "the disc lists its files in another order";
    ASSERT_TRUE(killed);
    std::string bigRow = c.bigRow;
    if (const auto at = bigRow.find("{md5}"); at != std::string::npos) {
        bigRow.replace(at, 5, small.md5.at("a_big.bin"));
    }
    EXPECT_EQ(s.table.Row(0).ResultText, bigRow);
    if (bigRow == "Read Error") {
        EXPECT_EQ(window.readErrors, std::vector<std::string>{s.table.Row(0).Path()});
    }
    if (c.endsWithError) {
        ASSERT_FALSE(window.messages.empty());
        EXPECT_EQ(window.messages.back(), "ファイル " + s.table.Row(1).Path() + " は開けません");
    } else {
        EXPECT_EQ(Outcome(), kAlarm);
    }
    EXPECT_NE(Outcome(), kSuccess);
    EXPECT_TRUE(window.saveRequests.empty()) << "a list of a vanished disc must not be offered";
    EXPECT_FALSE(s.runActive);
    EXPECT_FALSE(window.timerOn);
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a file handle stayed open";

    // The disc goes back in; the next command runs as if nothing had happened.
    (c.dies == 'D' ? master : target).Remount();
    if (exchanged) master.Swap(small.image);
    window.onPump = nullptr;
    window.messages.clear();
    N2Click(s);
    EXPECT_TRUE(window.messages.empty());
    ExpectRows(s.table, small.tree, [](const std::string&) { return "OK"; });
}

INSTANTIATE_TEST_SUITE_P(
    Discs, DiscVanishes,
    ::testing::Values(VanishCase{"WhileDigesting", CRC321Click, 0, 'D', false, "Read Error", true},
                      VanishCase{"WhileReadTesting", N2Click, 0, 'D', false, "Read Error", true},
                      VanishCase{"SourceWhileComparingBytes", N11Click, 1, 'D', false,
                                 "binary mismatch M rd err", true},
                      VanishCase{"CopyWhileComparingBytes", N11Click, 1, 'E', false,
                                 "binary mismatch C rd err", false},
                      VanishCase{"CopyWhileComparingDigests", N11Click, 0, 'D', true,
                                 "{md5}NG(リードエラー)", false}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Abort at the first, a middle and the last message pump of every reading step ----

enum class Text { Empty, Digest, Ok };

struct AbortStep {
    const char* name;
    void (*command)(Session&);
    int driveCount;
    bool loadsList;          // the command reads a list that MD5計算 made first
    std::size_t queueIndex;  // where the step stands in the command's queue
    const char* step;        // the log line that opens the step
    const char* closing;
    Text before;  // what a row holds until the step has finished it
    Text after;
};

const AbortStep kAbortSteps[] = {
    {"OneDriveDigests", N11Click, 0, false, 1, "ファイル個別のMD5計算中", "計算終了", Text::Empty,
     Text::Digest},
    {"OneDriveCompare", N11Click, 0, false, 3, "MD5比較中", "比較終了", Text::Digest, Text::Ok},
    {"TwoDriveCompare", N11Click, 1, false, 1, "ファイル間のバイナリ比較中", "比較終了",
     Text::Empty, Text::Ok},
    {"Md5Calc", CRC321Click, 0, false, 1, "ファイル個別のMD5計算中", "計算終了", Text::Empty,
     Text::Digest},
    {"Md5Load", CRC322Click, 0, true, 1, "MD5比較中", "比較終了", Text::Digest, Text::Ok},
    {"ReadTest", N2Click, 0, false, 1, "リードエラーテスト", "終了", Text::Empty, Text::Ok},
};

enum class Pump { First, Middle, Last };

void PrintTo(const AbortStep& a, std::ostream* os) {
    *os << a.name;
}
void PrintTo(Pump p, std::ostream* os) {
    *os << (p == Pump::First ? "first" : p == Pump::Middle ? "middle" : "last") << " pump";
}

class AbortAtPump : public DiscScenario,
                    public ::testing::WithParamInterface<std::tuple<AbortStep, Pump>> {
  protected:
    void SetUp() override {
        DiscScenario::SetUp();
        if (IsSkipped() || HasFailure()) return;
        master_ = std::make_unique<MountedDisc>(drives, 'D', Lib().small.image);
        target_ = std::make_unique<MountedDisc>(drives, 'E', Lib().smallCopy.image);
    }

    // One run of the command on fresh discs, with a fresh window.
    void Run(const AbortStep& a, int abortAtPump) {
        if (master_->image() != Lib().small.image) master_->Swap(Lib().small.image);
        window = FakeWindow();
        window.recordGauges = false;
        window.master = "D:\\";
        window.copy = "E:\\";
        window.driveCount = a.driveCount;
        window.saveAnswers.push_back(OutPath("list.txt"));
        window.openAnswers.push_back(OutPath("list.txt"));
        window.onMessage = [this](const std::string& text) {
            if (text == kExchange) master_->Swap(Lib().smallCopy.image);
        };
        window.onPump = [this, abortAtPump](int n) {
            if (n == abortAtPump) N9Click(s);
        };
        a.command(s);
    }

    // The pumps made inside the step, by number.
    std::vector<int> PumpsOf(const AbortStep& a) const {
        std::vector<int> pumps;
        bool inside = false;
        int n = 0;
        for (const std::string& e : window.events) {
            if (e == std::string("log:") + a.step) inside = true;
            if (e == std::string("log:") + a.closing) inside = false;
            if (e == "pump" && ++n && inside) pumps.push_back(n);
        }
        return pumps;
    }

    std::string TextOf(Text t, const std::string& rel) const {
        switch (t) {
            case Text::Empty:
                return "";
            case Text::Digest:
                return Lib().small.md5.at(rel);
            case Text::Ok:
                return "OK";
        }
        return "?";
    }

    std::unique_ptr<MountedDisc> master_, target_;
};

TEST_P(AbortAtPump, RunStopsAfterTheStepAndNoRowClaimsMoreThanWasRead) {
    const auto& [a, at] = GetParam();
    if (a.loadsList) {
        Run(kAbortSteps[3], 0);  // MD5計算 writes the list
        ASSERT_TRUE(fs::exists(OutPath("list.txt")));
    }
    Run(a, 0);
    const std::vector<FileRow> clean = s.table.Rows();
    const std::string cleanOutcome = Outcome();
    const std::vector<int> pumps = PumpsOf(a);
    ASSERT_GE(pumps.size(), 3u);
    const int abortAt = at == Pump::First    ? pumps.front()
                        : at == Pump::Middle ? pumps[pumps.size() / 2]
                                             : pumps.back();

    Run(a, abortAt);

    EXPECT_EQ(window.messages.back(), kAborted);
    EXPECT_EQ(std::count(window.messages.begin(), window.messages.end(), kAborted), 1);
    EXPECT_EQ(window.log.back(), a.closing);
    EXPECT_NE(Outcome(), kSuccess);
    EXPECT_FALSE(s.runActive);
    EXPECT_FALSE(s.AbortRequested);
    EXPECT_FALSE(window.timerOn);
    EXPECT_EQ(window.gauges[0], 100);
    EXPECT_EQ(window.gauges[1], 100);
    // Rows the step finished hold its verdict, the rest what they held before; never a third
    // text such as the digest of half a file.
    std::size_t finished = 0;
    while (finished < s.table.Count() && s.table.Row(finished).ResultText ==
                                             TextOf(a.after, RelativePath(s.table.Row(finished)))) {
        ++finished;
    }
    for (std::size_t i = finished; i < s.table.Count(); ++i) {
        EXPECT_EQ(s.table.Row(i).ResultText, TextOf(a.before, RelativePath(s.table.Row(i))))
            << "row " << i << " after " << finished << " finished rows";
    }
    if (at == Pump::First) {
        EXPECT_EQ(finished, 0u);
    }
    if (a.command == CRC321Click) {
        EXPECT_TRUE(window.saveRequests.empty());
    }
    for (std::size_t i = 0; i < s.queue.size(); ++i) {
        EXPECT_EQ(s.queue[i].done, i < a.queueIndex) << s.queue[i].keyword;
    }

    // Nothing of the aborted run lingers: the same command gives the same result again.
    Run(a, 0);
    EXPECT_EQ(s.table.Rows(), clean);
    EXPECT_EQ(Outcome(), cleanOutcome);
}

std::string AbortCaseName(const ::testing::TestParamInfo<std::tuple<AbortStep, Pump>>& p) {
    static const char* const kPumpNames[] = {"First", "Middle", "Last"};
    return std::string(std::get<0>(p.param).name) + "_" +
           kPumpNames[static_cast<int>(std::get<1>(p.param))];
}

INSTANTIATE_TEST_SUITE_P(Discs, AbortAtPump,
                         ::testing::Combine(::testing::ValuesIn(kAbortSteps),
                                            ::testing::Values(Pump::First, Pump::Middle,
                                                              Pump::Last)),
                         AbortCaseName);

// ---- Result files that cannot be written ----

// A small tmpfs of our own, unmounted at the end.
class Tmpfs {
  public:
    explicit Tmpfs(std::string dir) : dir_(std::move(dir)) {
        fs::create_directories(dir_);
        mounted_ = mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~Tmpfs() {
        if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool mounted() const { return mounted_; }
    bool MakeReadOnly() {
        return mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k") == 0;
    }
    void Fill() const {
        const int fd = open((dir_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string block(4096, 'f');
        while (write(fd, block.data(), block.size()) > 0) {
        }
        close(fd);
    }

  private:
    std::string dir_;
    bool mounted_ = false;
};

struct SaveFailure {
    const char* name;
    bool readOnly;
};

void PrintTo(const SaveFailure& c, std::ostream* os) {
    *os << c.name;
}

class SaveFails : public DiscScenario, public ::testing::WithParamInterface<SaveFailure> {};

TEST_P(SaveFails, OldListStaysByteIdenticalAndNothingIsLeftBehind) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string dir = OutPath("target");
    Tmpfs tmpfs(dir);
    if (!tmpfs.mounted()) {
        if (UnderCi()) FAIL() << "cannot mount a tmpfs as root: " << std::strerror(errno);
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    const std::string list = dir + "/list.txt";
    const std::string old = "old.txt\r\nQ:\\\r\n3\r\n900150983cd24fb0d6963f7d28e17f72\r\n";
    WriteHostFile(list, old);
    if (GetParam().readOnly) {
        ASSERT_TRUE(tmpfs.MakeReadOnly()) << std::strerror(errno);
    } else {
        tmpfs.Fill();
    }
    const std::vector<std::string> before = FolderNames(dir);

    MountedDisc disc(drives, 'D', Lib().small.image);
    window.master = "D:\\";
    window.saveAnswers.push_back(list);
    CRC321Click(s);

    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("ファイル " + list + " に書き込めません", 0), 0u)
        << window.messages[0];
    EXPECT_EQ(ReadHostFile(list), old);
    EXPECT_EQ(FolderNames(dir), before);
    EXPECT_FALSE(s.runActive);
    // The table survived the failed save and can still be written elsewhere.
    EXPECT_EQ(ExportCsv(), CsvText(s.table, Lib().small.tree, [&](const std::string& rel) {
                  return Lib().small.md5.at(rel);
              }));
}

INSTANTIATE_TEST_SUITE_P(Discs, SaveFails,
                         ::testing::Values(SaveFailure{"ReadOnlyFolder", true},
                                           SaveFailure{"FullFilesystem", false}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Digest lists in other shapes ----

// Lines as a line buffer counts them: CR LF, CR and LF each end one; a last line without a
// break still counts.
std::size_t CountLines(const std::string& text) {
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
            ++lines;
        }
    }
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') ++lines;
    return lines;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

struct ListShape {
    const char* name;
    std::string (*reshape)(const std::string& list);
    // Complete rows the reshaped list no longer holds, whose files come back as extra files;
    // -1: not a list.
    int rowsLost;
    const char* outcome;  // after MD5読込 against the good copy
    const char* message;  // the error that ends the run, if any
};

std::string ShiftJis(const std::string& list) {
    const std::string utf8 =
        (fs::temp_directory_path() / ("korvane-list-" + std::to_string(getpid()))).string();
    WriteHostFile(utf8, list);
    int status = 0;
    std::string sjis = RunHost("iconv -f UTF-8 -t CP932 " + ShellQuote(utf8), &status);
    fs::remove(utf8);
    return status == 0 ? sjis : std::string();
}

const ListShape kListShapes[] = {
    {"CrLf", [](const std::string& l) { return l; }, 0, kSuccess, ""},
    {"Lf", [](const std::string& l) { return ReplaceAll(l, "\r\n", "\n"); }, 0, kSuccess, ""},
    {"Cr", [](const std::string& l) { return ReplaceAll(l, "\r\n", "\r"); }, 0, kSuccess, ""},
    {"NoFinalBreak", [](const std::string& l) { return l.substr(0, l.size() - 2); }, 0, kSuccess,
     ""},
    {"ShiftJis", ShiftJis, 0, kSuccess, ""},
    // Cut inside the folder line of the last row: that row is dropped, the rest still pass, and
    // its file is one the list does not name.
    {"Truncated",
     [](const std::string& l) {
         std::size_t at = l.size() - 2;
         for (int breaks = 0; breaks < 3; --at) breaks += l[at] == '\n';
         return l.substr(0, at + 4);  // "...name\r\nD:"
     },
     1, kAlarm, ""},
    // Without NUL bytes, which refuse the list (DigestList tests).
    {"BinaryJunk",
     [](const std::string&) {
         std::string junk = PatternBytes(4096, 7);
         std::replace(junk.begin(), junk.end(), '\0', '\1');
         return junk;
     },
     -1, kAlarm, ""},
    {"SizeNotANumber",
     [](const std::string& l) {
         const std::size_t first = l.find("\r\n", l.find("\r\n") + 2) + 2;
         return l.substr(0, first) + "12x" + l.substr(l.find("\r\n", first));
     },
     0, "", "'12x' は整数ではありません"},
};

void PrintTo(const ListShape& c, std::ostream* os) {
    *os << c.name;
}

class LoadListShapes : public DiscScenario, public ::testing::WithParamInterface<ListShape> {};

TEST_P(LoadListShapes, RowsAndVerdictAsTheShapeAllows) {
    const ListShape& c = GetParam();
    const Disc& small = Lib().small;
    const std::string original = OutPath("list.txt");
    MountedDisc disc(drives, 'D', small.image);
    window.master = "D:\\";
    window.saveAnswers.push_back(original);
    CRC321Click(s);
    const std::vector<FileRow> saved = s.table.Rows();

    const std::string reshaped = c.reshape(ReadHostFile(original));
    ASSERT_FALSE(reshaped.empty());
    const std::string path = OutPath("reshaped.txt");
    WriteHostFile(path, reshaped);
    MountedDisc copy(drives, 'E', Lib().smallCopy.image);
    window.master = "E:\\";
    window.openAnswers.push_back(path);
    CRC322Click(s);

    std::size_t extra = 0;
    while (extra < s.table.Count() &&
           s.table.Row(s.table.Count() - 1 - extra).ResultText == "Extra file") {
        ++extra;
    }
    const std::size_t listed = s.table.Count() - extra;
    if (c.rowsLost < 0) {
        EXPECT_EQ(listed, CountLines(reshaped) / 4);
    } else {
        ASSERT_EQ(listed, saved.size() - static_cast<std::size_t>(c.rowsLost));
        EXPECT_EQ(extra, static_cast<std::size_t>(c.rowsLost));
        for (std::size_t i = 0; i < listed; ++i) {
            EXPECT_EQ(s.table.Row(i).Path(), saved[i].Path());
            if (!*c.message) {
                EXPECT_EQ(s.table.Row(i).ResultText, "OK");
            }
        }
    }
    EXPECT_EQ(Outcome(), c.outcome);
    if (*c.message) {
        ASSERT_FALSE(window.messages.empty());
        EXPECT_EQ(window.messages.back(), c.message);
    } else {
        EXPECT_TRUE(window.messages.empty()) << window.messages.front();
    }
    EXPECT_FALSE(s.runActive);
}

INSTANTIATE_TEST_SUITE_P(Discs, LoadListShapes, ::testing::ValuesIn(kListShapes),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Sizes no disc image carries, on local folders behind drive letters ----

class LocalScenario : public Scenario {};

TEST_F(LocalScenario, HundredThousandRowListLoadsWhole) {
    TempTree empty;
    drives.Set('L', empty.root());
    window.master = "L:\\";
    std::string list;
    char name[32];
    for (int i = 0; i < 100000; ++i) {
        std::snprintf(name, sizeof name, "f%06d.txt", i);
        list += std::string(name) + "\r\nZ:\\big\\\r\n" + std::to_string(i) +
                "\r\n0123456789abcdef0123456789abcdef\r\n";
    }
    WriteHostFile(OutPath("big.txt"), list);
    window.openAnswers.push_back(OutPath("big.txt"));
    window.events.reserve(400000);
    CRC322Click(s);

    ASSERT_EQ(s.table.Count(), 100000u);
    EXPECT_EQ(s.table.Row(99999), (FileRow{"f099999.txt", "Z:\\big\\", "99999", "File Not Found"}));
    EXPECT_EQ(Outcome(), kAlarm);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(LocalScenario, FilesOfFourGibibytesAndMoreKeepTheirFullSize) {
    // fuseiso cannot carry such files, so sparse files on local folders stand in for the discs.
    const std::uint64_t huge = (std::uint64_t{1} << 32) + 1;
    TempTree source, copy;
    source.WriteSparse("huge.bin", huge);
    source.WriteFile("small.txt", "small\n");
    copy.WriteSparse("huge.bin", huge + 1);
    copy.WriteFile("small.txt", "small\n");
    drives.Set('S', source.root());
    drives.Set('C', copy.root());
    window.master = "S:\\";
    window.copy = "C:\\";
    window.driveCount = 1;

    N11Click(s);
    ASSERT_EQ(s.table.Count(), 2u);
    std::map<std::string, FileRow> rows;
    for (const FileRow& r : s.table.Rows()) rows[r.FileName] = r;
    EXPECT_EQ(rows["huge.bin"].SizeText, "4294967297");
    EXPECT_EQ(rows["huge.bin"].ResultText, "Size mismatch");
    EXPECT_EQ(rows["small.txt"].ResultText, "OK");
    EXPECT_EQ(window.panels[1], "全容量:4,294,967,303");

    // A list naming the huge file, checked against the copy without reading either file.
    WriteHostFile(OutPath("huge.txt"),
                  "huge.bin\r\nS:\\\r\n4294967297\r\n0123456789abcdef0123456789abcdef\r\n");
    window.master = "C:\\";
    window.driveCount = 0;
    window.openAnswers.push_back(OutPath("huge.txt"));
    CRC322Click(s);
    ASSERT_EQ(s.table.Count(), 2u);
    EXPECT_EQ(s.table.Row(0).ResultText, "Size mismatchcopy 4294967298");
    EXPECT_EQ(s.table.Row(1), (FileRow{"small.txt", "C:\\", "6", "Extra file"}));
}

// An identical pair past 4 GiB: a size cut to 32 bits anywhere in either comparison would make
// the pair differ. md5sum gives the digest of 4 GiB + 1 zero bytes.
TEST_F(LocalScenario, IdenticalFilesPastFourGibibytesPassBothComparisons) {
    const std::uint64_t huge = (std::uint64_t{1} << 32) + 1;
    const std::string memory = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";
    TempTree source(memory), copy(memory);
    source.WriteSparse("huge.bin", huge);
    copy.WriteSparse("huge.bin", huge);
    drives.Set('S', source.root());
    drives.Set('C', copy.root());
    window.master = "S:\\";
    window.copy = "C:\\";
    window.driveCount = 1;
    N11Click(s);
    EXPECT_EQ(s.table.Row(0).ResultText, "OK");
    EXPECT_EQ(Outcome(), kSuccess);

    WriteHostFile(OutPath("huge.txt"),
                  "huge.bin\r\nS:\\\r\n4294967297\r\nf18c798ff5d450dfe4d3acdc12b621ff\r\n");
    window.master = "C:\\";
    window.openAnswers.push_back(OutPath("huge.txt"));
    CRC322Click(s);
    EXPECT_EQ(s.table.Row(0).ResultText, "OK");
    EXPECT_EQ(Outcome(), kSuccess);
}

}  // namespace
}  // namespace korvane::test
