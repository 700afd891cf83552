// The result table: one row per file, the texts every step reads and writes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace korvane {

struct FileRow {
    std::string FileName;    // the file's own name, as the disc stores it
    std::string Folder;      // drive-rooted, ends in a backslash: Q:\DATA\SUB\ .
    std::string SizeText;    // size in bytes, plain decimal
    std::string ResultText;  // empty, a digest text or a verdict

    std::string Path() const { return Folder + FileName; }
    bool operator==(const FileRow&) const = default;
};

// Told of every change so a view can show it; all calls come on the one run thread.
class FileTableObserver {
public:
    virtual ~FileTableObserver() = default;
    virtual void TableCleared() = 0;
    virtual void RowAppended(std::size_t row) = 0;
    virtual void ResultChanged(std::size_t row) = 0;
};

// Rows are appended at the end and stay in that order; the table is only ever emptied whole.
class FileTable {
public:
    std::size_t Count() const { return rows_.size(); }
    const FileRow& Row(std::size_t i) const { return rows_[i]; }
    const std::vector<FileRow>& Rows() const { return rows_; }

    void Append(FileRow row);
    void Clear();
    void SetResult(std::size_t i, std::string text);
    void Reserve(std::size_t n) { rows_.reserve(n); }

    void SetObserver(FileTableObserver* observer) { observer_ = observer; }

private:
    std::vector<FileRow> rows_;
    FileTableObserver* observer_ = nullptr;
};

}  // namespace korvane
