// korvane-cli on image files read without mounting: the same verdicts as through a mount, and
// the disc exchange refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "support/DiscImage.h"
#include "support/TempTree.h"

namespace korvane::test {
namespace {

struct CliResult {
    int code = -1;
    std::set<std::string> files;  // the per-file lines without their drive letter
    std::string output;
};

CliResult Cli(const std::string& args) {
    const char* program = std::getenv("KORVANE_CLI");
    CliResult run;
    run.output =
        RunHost(ShellQuote(program ? program : "korvane-cli") + " " + args + " 2>&1", &run.code);
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() > 3 && line.compare(1, 2, ":\\") == 0) run.files.insert(line.substr(1));
    }
    return run;
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
        BuildImage(source_.root(), Image("source"), "SOURCE");
        BuildImage(bad_.root(), Image("bad"), "BAD");
        const ImageExtent b = FileExtent(Image("source"), "/DIR/B.BIN");
        CutImage(Image("source"), Image("cut"), b.Start() + b.bytes / 2);
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
    std::vector<CliResult> runs[2];
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
    EXPECT_TRUE(runs[0][1].files.count(":\\DIR\\B.BIN: binary mismatch C rd err"))
        << runs[0][1].output;

    // A name ending in .iso is not what makes an image, nor is an image refused for its name.
    std::filesystem::copy_file(Image("source"), out_.Host("disc.bin"));
    EXPECT_EQ(Cli("readtest " + ShellQuote(out_.Host("disc.bin"))).code, 0);
    const CliResult text = Cli("readtest " + ShellQuote(out_.WriteFile("text.iso", "not a disc")));
    EXPECT_EQ(text.code, 2) << text.output;

    const CliResult swap = Cli("compare --swap " + Arg("source", false) + " --swap-command true");
    EXPECT_EQ(swap.code, 2);
    EXPECT_NE(swap.output.find("an image file cannot be exchanged"), std::string::npos)
        << swap.output;
}

}  // namespace
}  // namespace korvane::test
