// The reading ahead stops after two jobs not served from memory and starts again after rows that
// were.
#include <gtest/gtest.h>

#include "reading/AheadBackoff.h"

namespace korvane {
namespace {

TEST(AheadBackoff, StopsAfterTwoJobsNotInMemoryAndRestartsAfterRowsFromMemory) {
    AheadBackoff backoff;
    backoff.JobRan(false);
    backoff.JobRan(true);  // a job from memory between breaks the run
    backoff.JobRan(false);
    EXPECT_TRUE(backoff.Ahead());
    backoff.JobRan(false);
    EXPECT_TRUE(backoff.Stopping());
    EXPECT_FALSE(backoff.Ahead());
    EXPECT_FALSE(backoff.Opening());

    // Eight rows from memory bring it back.
    for (int row = 0; row < 7; ++row) backoff.RowReadHere(true);
    EXPECT_FALSE(backoff.Ahead());
    backoff.RowReadHere(true);
    EXPECT_TRUE(backoff.Ahead());
    EXPECT_TRUE(backoff.Opening());
    EXPECT_FALSE(backoff.Stopping());

    // The next stop waits twice as many, and a row read from the drive starts the count again.
    backoff.JobRan(false);
    backoff.JobRan(false);
    EXPECT_FALSE(backoff.Ahead());
    for (int row = 0; row < 15; ++row) backoff.RowReadHere(true);
    backoff.RowReadHere(false);
    for (int row = 0; row < 31; ++row) backoff.RowReadHere(true);
    EXPECT_FALSE(backoff.Ahead());
    backoff.RowReadHere(true);
    EXPECT_TRUE(backoff.Ahead());
}

}  // namespace
}  // namespace korvane
