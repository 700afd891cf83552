// A session over a real temporary tree behind drive Q:, a recording window and a fault injector.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/Session.h"
#include "platform/DriveMap.h"
#include "platform/HostFileSystem.h"
#include "reading/Engine.h"
#include "support/FakeClock.h"
#include "support/FakeWindow.h"
#include "support/FaultyFileSystem.h"
#include "support/TempTree.h"

namespace korvane::test {

class SessionFixture : public ::testing::Test {
  protected:
    SessionFixture() {
        drives.Set('Q', tree.root());
        window.master = "Q:\\";
        // Time stands still unless a test moves it: the pumps follow the gauge steps alone.
        s.reading().pacer.SetClock(&clock);
    }

    TempTree tree;
    DriveMap drives;
    std::unique_ptr<FileSystem> host = MakeHostFileSystem(drives);
    FaultyFileSystem fs{*host};
    FakeWindow window;
    FakeClock clock;
    Session s{window, fs};
};

}  // namespace korvane::test
