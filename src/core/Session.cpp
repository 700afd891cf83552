// The session's reading engine, made and ended with it.
#include "core/Session.h"

#include "reading/Engine.h"

namespace korvane {

Session::Session(Window& w, FileSystem& files, DriveMap* driveMap)
    : window(w), fs(files), drives(driveMap), reading_(std::make_unique<ReadingEngine>(*this)) {}

Session::~Session() = default;

}  // namespace korvane
