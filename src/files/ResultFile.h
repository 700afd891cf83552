// What the digest list and the table export share: refusing texts the format cannot carry and
// writing the finished text safely.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

class FileTable;
class Session;

// The full path of the first row with one of `forbidden` in any of its four fields.
std::optional<std::string> FirstRowContaining(const FileTable& table, std::string_view forbidden);

// Replaces the file at the host path with `data`, atomically; a failure throws RunError.
void WriteResultFile(Session& s, const std::string& hostPath, std::string_view data);

}  // namespace korvane
