// korvane-cli on image files read without mounting: the same verdicts as through a mount, the
// disc exchange refused, and the sector comparison.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "cli/CliRun.h"
#include "support/DiscImage.h"
#include "support/TempTree.h"

namespace korvane::test {
namespace {

// The first line of the output that starts with `head`, or empty text.
std::string LineOf(const std::string& output, const std::string& head) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(head, 0) == 0) return line;
    }
    return {};
}

class CliImages : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!DiscToolsProblem().empty()) return;
        for (TempTree* tree : {&source_, &bad_}) {
            tree->WriteFile("A.TXT", "alpha\n");
            tree->WritePattern("DIR/B.BIN", 300000, 7);
            tree->WriteFile("日本語.TXT", "gamma\n");
        }
        bad_.WritePattern("DIR/B.BIN", 300000, 8);
        std::filesystem::remove(bad_.Host("日本語.TXT"));
        std::filesystem::create_symlink("A.TXT", bad_.Host("LINK"));
        BuildImage(source_.root(), Image("source"), "SOURCE");
        BuildImage(bad_.root(), Image("bad"), "BAD");
        const ImageExtent b = FileExtent(Image("source"), "/DIR/B.BIN");
        CutImage(Image("source"), Image("cut"), b.Start() + b.bytes / 2);
        if (UdfToolsProblem().empty())
            BuildImage(source_.root(), Image("udf"), "UDF", DiscFormat::Udf);
    }
    void SetUp() override { KORVANE_REQUIRE_DISC_TOOLS(); }

    static std::string Image(const std::string& name) { return work_.Host(name + ".iso"); }
    // The image as a file or as a mount of it.
    std::string Arg(const std::string& name, bool mounted) {
        if (!mounted) return ShellQuote(Image(name));
        discs_.push_back(std::make_unique<MountedDisc>(drives_, 'D', Image(name)));
        return ShellQuote(discs_.back()->mountPoint());
    }

    static TempTree work_, source_, bad_;
    TempTree out_;
    DriveMap drives_;
    std::vector<std::unique_ptr<MountedDisc>> discs_;
};
TempTree CliImages::work_, CliImages::source_, CliImages::bad_;

TEST_F(CliImages, EveryCommandGivesTheVerdictsOfAMount) {
    std::vector<CliRun> runs[2];
    for (bool mounted : {false, true}) {
        const std::string list = ShellQuote(out_.Host(mounted ? "m.txt" : "i.txt"));
        runs[mounted].push_back(
            Cli("compare " + Arg("source", mounted) + " " + Arg("bad", mounted)));
        runs[mounted].push_back(
            Cli("compare " + Arg("source", mounted) + " " + Arg("cut", mounted)));
        runs[mounted].push_back(Cli("calc " + Arg("cut", mounted) + " -o " + list));
        runs[mounted].push_back(Cli("calc " + Arg("source", mounted) + " -o " + list));
        runs[mounted].push_back(Cli("verify " + list + " " + Arg("bad", mounted)));
        runs[mounted].push_back(Cli("readtest " + Arg("cut", mounted)));
        discs_.clear();
    }
    for (std::size_t i = 0; i < runs[0].size(); ++i) {
        EXPECT_EQ(runs[0][i].code, runs[1][i].code) << i << runs[0][i].output;
        EXPECT_EQ(runs[0][i].files, runs[1][i].files) << i << runs[0][i].output;
    }
    EXPECT_TRUE(runs[0][0].files.count(":\\日本語.TXT: File Not Found")) << runs[0][0].output;
    EXPECT_TRUE(runs[0][0].files.count(":\\LINK: Extra link -> A.TXT")) << runs[0][0].output;
    EXPECT_TRUE(runs[0][1].files.count(":\\DIR\\B.BIN: binary mismatch C rd err"))
        << runs[0][1].output;

    // A name ending in .iso is not what makes an image, nor is an image refused for its name.
    std::filesystem::copy_file(Image("source"), out_.Host("disc.bin"));
    EXPECT_EQ(Cli("readtest " + ShellQuote(out_.Host("disc.bin"))).code, 0);
    const CliRun text = Cli("readtest " + ShellQuote(out_.WriteFile("text.iso", "not a disc")));
    EXPECT_EQ(text.code, 2) << text.output;

    EXPECT_EQ(Cli("compare " + Arg("source", false) + " " + Arg("source", false)).code, 2);
    const CliRun swap = Cli("compare --swap " + Arg("source", false) + " --swap-command true");
    EXPECT_EQ(swap.code, 2);
    EXPECT_NE(swap.output.find("an image file cannot be exchanged"), std::string::npos)
        << swap.output;
}

// No mount of a UDF disc can be made here: it is held against the same files as ISO 9660.
TEST_F(CliImages, AUdfImageGivesTheVerdictsOfTheSameFilesInIso9660) {
    KORVANE_REQUIRE(UdfToolsProblem());
    const CliRun same = Cli("compare " + Arg("udf", false) + " " + Arg("source", false));
    EXPECT_EQ(same.code, 0) << same.output;
    const CliRun iso = Cli("compare " + Arg("source", false) + " " + Arg("bad", false));
    const CliRun udf = Cli("compare " + Arg("udf", false) + " " + Arg("bad", false));
    EXPECT_EQ(udf.code, iso.code) << udf.output;
    EXPECT_EQ(udf.files, iso.files) << udf.output;
}

TEST_F(CliImages, SectorsNameTheFileOfAChangedByteAndIgnorePadding) {
    const ImageExtent b = FileExtent(Image("source"), "/DIR/B.BIN");
    const std::string changed = out_.Host("changed.iso");
    std::filesystem::copy_file(Image("source"), changed);
    {
        std::fstream f(changed, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(b.Start() + 5000));
        f.put('\x5a' ^ PatternBytes(5001, 7)[5000]);
    }
    const CliRun differ =
        Cli("compare --sectors " + ShellQuote(changed) + " " + Arg("source", false));
    EXPECT_EQ(differ.code, 1) << differ.output;
    const std::string sector = std::to_string(b.lba + 2);
    EXPECT_NE(differ.output.find("differ: sector " + sector + " (1): \\DIR\\B.BIN\n"),
              std::string::npos)
        << differ.output;
    EXPECT_NE(differ.output.find("1 differ, 0 missing, 0 read errors: 正しくコピーされていません"),
              std::string::npos);

    // A disc is longer than its image: the padding is no difference. A shorter one is.
    const std::string padded = out_.Host("padded.iso");
    std::filesystem::copy_file(Image("source"), padded);
    std::filesystem::resize_file(padded, std::filesystem::file_size(padded) + 300 * 2048);
    const CliRun same = Cli("compare --sectors " + ShellQuote(padded) + " " + Arg("source", false));
    EXPECT_EQ(same.code, 0) << same.output;
    EXPECT_NE(same.output.find(" 0 differ, 0 missing, 0 read errors: 正常に終了しました"),
              std::string::npos)
        << same.output;
    const CliRun cut = Cli("compare --sectors " + Arg("cut", false) + " " + Arg("source", false));
    EXPECT_EQ(cut.code, 1) << cut.output;
    EXPECT_NE(LineOf(cut.output, "missing: ").find(", past the end of SOURCE: "), std::string::npos)
        << cut.output;
    EXPECT_NE(LineOf(cut.output, "missing: ").find("\\DIR\\B.BIN"), std::string::npos);
}

TEST_F(CliImages, SectorsReportTheUnreadableSectorsOfADevice) {
    KORVANE_REQUIRE(FaultFsProblem());
    TempTree disc;
    std::filesystem::copy_file(Image("source"), disc.Host("sr0"));
    const ImageExtent b = FileExtent(Image("source"), "/DIR/B.BIN");
    const std::uint64_t size = std::filesystem::file_size(Image("source"));
    // On a page boundary, so that no page the kernel reads holds good and bad sectors both.
    const std::uint64_t eio = (b.Start() + 2 * 4096 - 1) / 4096 * 4096;
    DriveFaults faults;
    faults.eioFile = "sr0";
    faults.eioAt = eio;
    FaultyDrive drive(drives_, 'E', disc.root(), faults);
    const CliRun run = Cli("compare --sectors " + ShellQuote(drive.mountPoint() + "/sr0") + " " +
                           Arg("source", false));
    EXPECT_EQ(run.code, 1) << run.output;
    // The sectors before the fault were read one by one after the large read failed.
    const std::uint64_t first = eio / 2048, last = size / 2048 - 1;
    const std::string line = LineOf(run.output, "read error on SOURCE: ");
    const std::string head = "read error on SOURCE: sectors " + std::to_string(first) + "-" +
                             std::to_string(last) + " (" + std::to_string(last - first + 1) +
                             "): Input/output error: ";
    EXPECT_EQ(line.rfind(head, 0), 0u) << run.output;
    EXPECT_NE(line.find("\\DIR\\B.BIN"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(" 0 differ, 0 missing, " + std::to_string(last - first + 1) +
                              " read errors: リードエラーのファイルがあります"),
              std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace korvane::test
