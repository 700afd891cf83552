// The result table's changes, each passed on to the view that shows it.
#include "core/FileTable.h"

#include <ostream>
#include <utility>

namespace korvane {

const std::string& FolderText::Empty() {
    static const std::string empty;
    return empty;
}

std::ostream& operator<<(std::ostream& out, const FolderText& folder) {
    return out << folder.str();
}

void FileTable::Append(FileRow row) {
    // Rows come folder by folder, so the row before holds the text to share when there is one.
    if (!rows_.empty() && !row.Folder.SharesWith(rows_.back().Folder) &&
        row.Folder == rows_.back().Folder) {
        row.Folder = rows_.back().Folder;
    }
    rows_.push_back(std::move(row));
    if (observer_) observer_->RowAppended(rows_.size() - 1);
}

void FileTable::Clear() {
    rows_.clear();
    sizesListed_ = true;
    if (observer_) observer_->TableCleared();
}

void FileTable::SetResult(std::size_t i, std::string text, Outcome kind) {
    rows_[i].ResultText = std::move(text);
    rows_[i].Kind = kind;
    if (observer_) observer_->ResultChanged(i);
}

void FileTable::SetSize(std::size_t i, std::string text) {
    rows_[i].SizeText = std::move(text);
    if (observer_) observer_->ResultChanged(i);
}

}  // namespace korvane
