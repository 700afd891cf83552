// Reading a list file: its lines in the program's own text, and the four-line rows they hold.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileTable.h"
#include "files/LineBuffer.h"
#include "platform/TextEncoding.h"

namespace korvane {

// The lines of a list file, decoded one by one. The encoding is judged from the whole file: text
// that is all UTF-8 stays as it is; a file with kana or kanji in UTF-8 came from a UTF-8 system,
// so its other lines are names as the disc stores them and stay as their bytes; any other file
// is Shift-JIS from a Windows system, each line converted (a line that is not Shift-JIS either
// stays as its bytes).
class ListLines {
  public:
    explicit ListLines(std::string bytes);

    std::size_t Count() const { return lines_.LineCount(); }
    std::string_view Raw(std::size_t i) const { return lines_.Line(i); }
    std::string Decoded(std::size_t i) const;

  private:
    LineBuffer lines_;
    bool shiftJis_ = false;
    ShiftJisDecoder decoder_;
};

// One row per complete group of four lines; the 1 to 3 lines after the last group are dropped.
// A field holding a NUL throws RunError naming the file and the line.
std::vector<FileRow> ReadFourLineList(const ListLines& lines, const std::string& path);

}  // namespace korvane
