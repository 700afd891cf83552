// Drive letters and host path names as every layer spells them.
#pragma once

#include <cctype>
#include <string>

namespace korvane {

// A drive letter in upper case; other characters as they are.
inline char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// The last name of a host path: "/media/user/DISC/" gives "DISC", "/" stays "/".
inline std::string LastName(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace korvane
