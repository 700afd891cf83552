// Texts of the errors that end a run.
#include "core/RunError.h"

#include "core/Texts.h"

namespace korvane {

void ThrowCannotOpen(const std::string& path) {
    throw RunError(text::CannotOpen(path));
}

}  // namespace korvane
