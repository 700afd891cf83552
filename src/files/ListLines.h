// The lines of a digest list file, and the one rule for the encoding of the names they hold.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "files/LineBuffer.h"
#include "platform/TextEncoding.h"

namespace korvane {

// The lines of a list file, with a UTF-8 byte-order mark dropped. The encoding is judged from
// the whole file, so the same bytes are the same name on every line and in every list format:
// text that is all UTF-8 stays as it is; a file with kana or kanji in UTF-8 came from a UTF-8
// system, so its other names are as the disc stores them and stay as their bytes; any other
// file is Shift-JIS from a Windows system, each name converted (a name that is not Shift-JIS
// either stays as its bytes).
class ListLines {
  public:
    explicit ListLines(std::string bytes);

    std::size_t Count() const { return lines_.LineCount(); }
    std::string_view Raw(std::size_t i) const { return lines_.Line(i); }
    std::string Decoded(std::size_t i) const { return Decode(Raw(i)); }
    // Text taken from a line (a name once its escapes are undone), in the file's encoding.
    std::string Decode(std::string_view bytes) const;

  private:
    LineBuffer lines_;
    bool shiftJis_ = false;
    ShiftJisDecoder decoder_;
};

}  // namespace korvane
