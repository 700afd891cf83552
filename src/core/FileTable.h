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
    // The observer hears of a new size as a change of the row's result: a size is only
    // written by a step that writes the row's verdict with it.
    void SetSize(std::size_t i, std::string text);
    void Reserve(std::size_t n) { rows_.reserve(n); }

    void SetObserver(FileTableObserver* observer) { observer_ = observer; }

    // False while the rows come from a digest list that carries no sizes (an md5sum or a
    // BSD-tag list): their SizeText is empty until the file is found. Emptying the table
    // makes it true again.
    bool SizesListed() const { return sizesListed_; }
    void SetSizesListed(bool listed) { sizesListed_ = listed; }

private:
    std::vector<FileRow> rows_;
    bool sizesListed_ = true;
    FileTableObserver* observer_ = nullptr;
};

}  // namespace korvane
