// The file layer of the platform the program runs on, over a drive map.
#pragma once

#include <memory>

#include "platform/DriveMap.h"
#include "platform/FileSystem.h"

namespace korvane {

// The returned file system reads `drives` at every call, so later changes to the map apply.
std::unique_ptr<FileSystem> MakeHostFileSystem(const DriveMap& drives);

}  // namespace korvane
