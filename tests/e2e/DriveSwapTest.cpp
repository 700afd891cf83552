// The one-drive comparison in a drive whose discs an automounter mounts, each at its own folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "core/Commands.h"
#include "e2e/DiscScenario.h"
#include "platform/Drives.h"

namespace korvane::test {
namespace {

const char kExchange[] = "コピーCDと入れ替えてください";

class DriveSwap : public DiscScenario {
  protected:
    void SetUp() override {
        KORVANE_REQUIRE_DRIVE_NODES();
        drive = std::make_unique<FakeDrive>();
        drive->Insert(Lib().small.image);
        DriveDiscovery discovery;
        discovery.Refresh(drives);
        for (const DriveInfo& d : discovery.Drives()) {
            if (d.device == drive->device()) window.master = std::string{d.letter, ':', '\\'};
        }
        ASSERT_FALSE(window.master.empty()) << drive->device() << " got no letter";
    }
    // Every row holds the digest of the source file: nothing was judged.
    void ExpectNoVerdicts() {
        ExpectRows(s.table, Lib().small.tree,
                   [&](const std::string& rel) { return Lib().small.md5.at(rel); });
        EXPECT_EQ(Outcome(), "");
    }

    std::unique_ptr<FakeDrive> drive;
};

TEST_F(DriveSwap, CopyAtAnotherFolderIsJudgedIdenticalOrChanged) {
    TempTree changed;
    std::filesystem::copy(Lib().small.tree, changed.root(),
                          std::filesystem::copy_options::recursive);
    changed.WriteFile("b.txt", "SMALL\n");  // the same size, another digest
    BuildImage(changed.root(), OutPath("changed.iso"), "BACKUP01");
    const Disc changedCopy{changed.root(), OutPath("changed.iso"), Md5sumOf(changed.root())};

    for (const Disc* copy : {&Lib().smallCopy, &changedCopy}) {
        window.onMessage = [&](const std::string&) { drive->Insert(copy->image); };
        N11Click(s);
        ExpectRows(s.table, Lib().small.tree,
                   [&](const std::string& rel) { return DigestVerdict(Lib().small, *copy, rel); });
        EXPECT_EQ(Outcome(),
                  copy == &changedCopy ? "正しくコピーされていません" : "正常に終了しました");
        drive->Insert(Lib().small.image);
    }
    EXPECT_EQ(window.messages, (std::vector<std::string>{kExchange, kExchange}));
}

TEST_F(DriveSwap, CopyMountedTwoSecondsAfterTheAnswerIsWaitedFor) {
    std::chrono::steady_clock::time_point answered;
    window.onMessage = [&](const std::string&) {
        drive->Eject();
        answered = std::chrono::steady_clock::now();
    };
    window.onWait = [&] {
        if (std::chrono::steady_clock::now() - answered >= std::chrono::seconds(2)) {
            drive->Insert(Lib().smallCopy.image);
            window.onWait = nullptr;
        }
    };
    N11Click(s);
    EXPECT_EQ(window.log.at(window.log.size() - 3), "コピーCDを待っています");
    EXPECT_EQ(Outcome(), "正常に終了しました");
    EXPECT_EQ(window.messages, std::vector<std::string>{kExchange});
}

TEST_F(DriveSwap, SourceStillInTheDriveIsNeverComparedWithItself) {
    window.continueAnswers = {true, false};  // OK without exchanging, then 中断
    N11Click(s);
    EXPECT_EQ(window.messages, (std::vector<std::string>{kExchange, kExchange, "中断しました"}));
    ExpectNoVerdicts();
}

TEST_F(DriveSwap, NoCopyAppearingEndsTheRunWithoutVerdicts) {
    s.discWait = std::chrono::milliseconds(600);
    window.onMessage = [&](const std::string&) { drive->Eject(); };
    N11Click(s);
    EXPECT_EQ(window.messages, (std::vector<std::string>{kExchange, "コピーCDが見つかりません"}));
    ExpectNoVerdicts();
}

}  // namespace
}  // namespace korvane::test
