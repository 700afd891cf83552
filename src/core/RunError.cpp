// Texts of the errors that end a run.
#include "core/RunError.h"

namespace korvane {

void ThrowCannotOpen(const std::string& path) {
    throw RunError("ファイル " + path + " は開けません");
}

}  // namespace korvane
