// How drive paths find their host paths.
#include "platform/DriveMap.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

struct MapCase {
    const char* root;
    std::string drivePath;
    std::optional<std::string> host;
};

class DriveMapTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(DriveMapTest, ToHost) {
    DriveMap map;
    map.Set('Q', GetParam().root);
    EXPECT_EQ(map.ToHost(GetParam().drivePath), GetParam().host) << GetParam().drivePath;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriveMapTest,
    ::testing::Values(MapCase{"/mnt/disc", "Q:\\DATA\\A.BIN", "/mnt/disc/DATA/A.BIN"},
                      MapCase{"/mnt/disc/", "Q:\\DATA\\", "/mnt/disc/DATA/"},
                      MapCase{"/mnt/disc", "Q:\\", "/mnt/disc/"},
                      MapCase{"/mnt/disc", "q:\\a.bin", "/mnt/disc/a.bin"},
                      MapCase{"/", "Q:\\DATA\\A.BIN", "/DATA/A.BIN"}, MapCase{"/", "Q:\\", "/"},
                      MapCase{"/mnt/disc", "R:\\A.BIN", std::nullopt},
                      MapCase{"/mnt/disc", "Q:", std::nullopt},
                      MapCase{"/mnt/disc", "Q:A.BIN", std::nullopt},
                      MapCase{"/mnt/disc", "DATA\\A.BIN", std::nullopt},
                      MapCase{"/mnt/disc", "", std::nullopt},
                      // Nothing may lead off the drive or cut the host path short.
                      MapCase{"/mnt/disc", "Q:\\..\\etc\\passwd", std::nullopt},
                      MapCase{"/mnt/disc", "Q:\\.\\A.BIN", std::nullopt},
                      MapCase{"/mnt/disc", "Q:\\DATA/../../etc", std::nullopt},
                      MapCase{"/mnt/disc", "Q:\\\\A.BIN", std::nullopt},
                      MapCase{"/mnt/disc", std::string("Q:\\A\0B", 6), std::nullopt},
                      MapCase{"/mnt/disc", "Q:\\...\\.a\\", "/mnt/disc/.../.a/"}));

}  // namespace
}  // namespace korvane
