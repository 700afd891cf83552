// The progress timer's tick: disc gauge, elapsed and remaining time.
#include <gtest/gtest.h>

#include "core/ProgressTimer.h"
#include "core/Texts.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

class ProgressTimerTest : public SessionFixture {
  protected:
    void Tick(std::uint64_t total, std::uint64_t done, std::uint32_t elapsedBefore) {
        s.TotalBytes = total;
        s.DoneBytes = done;
        s.ElapsedSeconds = elapsedBefore;
        Timer1Timer(s);
    }
};

TEST_F(ProgressTimerTest, GaugeAndLabelFollowTheShareDone) {
    Tick(200, 50, 74);
    EXPECT_EQ(window.gauges[1], 25);
    EXPECT_EQ(s.ElapsedSeconds, 75u);
    EXPECT_EQ(window.timeLabel, "経過 01:15/残り 03:45");

    Tick(200, 200, 9);
    EXPECT_EQ(window.gauges[1], 100);
    EXPECT_EQ(window.timeLabel, "経過 00:10/残り 00:00");

    Tick(100, 50, 5999);
    EXPECT_EQ(window.timeLabel, "経過 100:00/残り 100:00");
}

TEST_F(ProgressTimerTest, NothingAdvancesBeforeTheFirstPercent) {
    window.timeLabel = "keep";
    window.gauges[1] = 40;
    Tick(200, 0, 3);
    EXPECT_EQ(window.gauges[1], 0);
    EXPECT_EQ(s.ElapsedSeconds, 3u);
    EXPECT_EQ(window.timeLabel, "keep");

    // Without a total there is no percentage at all: the gauge keeps its value.
    window.gauges[1] = 40;
    Tick(0, 10, 3);
    EXPECT_EQ(window.gauges[1], 40);
    EXPECT_EQ(s.ElapsedSeconds, 3u);
}

TEST_F(ProgressTimerTest, DigestOnlyRunFreezesTheTime) {
    window.panels[0] = text::kCmdCalcMd5;
    window.timeLabel = "";
    Tick(200, 100, 0);
    EXPECT_EQ(window.gauges[1], 50);
    EXPECT_EQ(s.ElapsedSeconds, 0u);
    EXPECT_EQ(window.timeLabel, "");
}

TEST_F(ProgressTimerTest, MoreDoneThanListedShowsNothingRemaining) {
    Tick(100, 150, 0);
    EXPECT_EQ(window.gauges[1], 100);
    EXPECT_EQ(window.timeLabel, "経過 00:01/残り 00:00");
}

TEST_F(ProgressTimerTest, LargeTotalsDoNotWrap) {
    Tick(8'000'000'000ull, 4'000'000'000ull, 0);  // a DVD-sized run half done
    EXPECT_EQ(window.gauges[1], 50);
}

}  // namespace
}  // namespace korvane::test
