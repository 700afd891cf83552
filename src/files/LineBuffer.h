// The text both result files pass through: built line by line, or loaded whole and split.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class LineBuffer {
  public:
    void Clear();
    // Appends the text and CR LF; a text holding line breaks becomes several lines.
    void Add(std::string_view text);
    // Replaces the content; CR LF, a lone CR and a lone LF each end a line.
    void Load(std::string text);
    void Reserve(std::size_t bytes) { text_.reserve(bytes); }

    const std::string& Text() const { return text_; }
    // The empty line after a final line break is not counted.
    std::size_t LineCount() const;
    // Valid until the content next changes.
    std::string_view Line(std::size_t i) const;

  private:
    struct Span {
        std::size_t start;
        std::size_t length;
    };
    void Index() const;

    std::string text_;
    mutable std::vector<Span> lines_;
    mutable bool indexed_ = true;
};

}  // namespace korvane
