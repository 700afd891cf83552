// The error that ends a run; its text is shown to the user exactly as it stands.
#pragma once

#include <stdexcept>
#include <string>

namespace korvane {

class RunError : public std::runtime_error {
  public:
    explicit RunError(const std::string& userText) : std::runtime_error(userText) {}
};

// "ファイル %s は開けません" with the path.
[[noreturn]] void ThrowCannotOpen(const std::string& path);

}  // namespace korvane
