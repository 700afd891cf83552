// Line splitting of the result files' text, kept as offsets into one string.
#include "files/LineBuffer.h"

#include <utility>

namespace korvane {

void LineBuffer::Clear() {
    text_.clear();
    lines_.clear();
    indexed_ = true;
}

void LineBuffer::Add(std::string_view text) {
    text_.append(text);
    text_.append("\r\n");
    indexed_ = false;
}

void LineBuffer::Load(std::string text) {
    text_ = std::move(text);
    indexed_ = false;
}

std::size_t LineBuffer::LineCount() const {
    Index();
    return lines_.size();
}

std::string_view LineBuffer::Line(std::size_t i) const {
    Index();
    const Span& span = lines_.at(i);
    return std::string_view(text_).substr(span.start, span.length);
}

void LineBuffer::Index() const {
    if (indexed_) return;
    lines_.clear();
    const std::size_t n = text_.size();
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < n) {
        const char c = text_[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines_.push_back({start, i - start});
        i += (c == '\r' && i + 1 < n && text_[i + 1] == '\n') ? std::size_t{2} : std::size_t{1};
        start = i;
    }
    if (start < n) lines_.push_back({start, n - start});
    indexed_ = true;
}

}  // namespace korvane
