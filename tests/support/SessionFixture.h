// A session over a real temporary tree behind drive Q:, a recording window and a fault injector.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/Session.h"
#include "platform/DriveMap.h"
#include "platform/HostFileSystem.h"
#include "support/FakeWindow.h"
#include "support/FaultyFileSystem.h"
#include "support/TempTree.h"

namespace korvane::test {

class SessionFixture : public ::testing::Test {
protected:
    SessionFixture() {
        drives.Set('Q', tree.root());
        window.master = "Q:\\";
    }

    TempTree tree;
    DriveMap drives;
    std::unique_ptr<FileSystem> host = MakeHostFileSystem(drives);
    FaultyFileSystem fs{*host};
    FakeWindow window;
    Session s{window, fs};
};

}  // namespace korvane::test
