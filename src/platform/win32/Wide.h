// UTF-8 inside the program, UTF-16 at every call into Windows.
#pragma once

#include <string>
#include <string_view>

namespace korvane::win32 {

// Invalid UTF-8 gives an empty text, which names no file: a name is never guessed at.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The host path as Windows takes it: '/' turned into '\', and a bare "Q:" made the drive's root.
std::wstring HostPathW(const std::string& hostPath);

// True for a name Windows would not keep as it is written (a trailing dot or space, a character
// that names no file there) or that names a device (CON, NUL, COM1...), with or without an
// extension: such a name would reach another file, or a device, than the one listed.
bool AlteredByWindows(std::string_view name);

// The system's words for the last error, in UTF-8.
std::string LastErrorText();

}  // namespace korvane::win32
