// The result table: one row per file, the texts every step reads and writes.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A row's folder: one immutable text shared by every row of that folder, so a disc of a
// million files keeps each folder once. It reads as the string it holds.
class FolderText {
  public:
    FolderText() = default;
    FolderText(std::string text)
        : text_(text.empty() ? nullptr : std::make_shared<const std::string>(std::move(text))) {}
    FolderText(const char* text) : FolderText(std::string(text)) {}

    const std::string& str() const { return text_ ? *text_ : Empty(); }
    operator const std::string&() const { return str(); }

    std::size_t size() const { return str().size(); }
    bool empty() const { return str().empty(); }
    char back() const { return str().back(); }
    const char* c_str() const { return str().c_str(); }
    const char* data() const { return str().data(); }
    std::string substr(std::size_t pos, std::size_t n = std::string::npos) const {
        return str().substr(pos, n);
    }
    // Rows of one folder take its text from the row before them.
    bool SharesWith(const FolderText& o) const { return text_ == o.text_; }

    friend bool operator==(const FolderText& a, const FolderText& b) {
        return a.text_ == b.text_ || a.str() == b.str();
    }
    friend bool operator==(const FolderText& a, const std::string& b) { return a.str() == b; }
    friend bool operator==(const FolderText& a, const char* b) { return a.str() == b; }
    friend std::string operator+(const FolderText& a, const std::string& b) { return a.str() + b; }
    friend std::string operator+(const FolderText& a, const char* b) { return a.str() + b; }

  private:
    static const std::string& Empty();
    std::shared_ptr<const std::string> text_;
};

std::ostream& operator<<(std::ostream& out, const FolderText& folder);

// What a row's result says, told by the step that writes it: readers of the table never have to
// parse the text back.
enum class Outcome : unsigned char {
    Unjudged,        // empty, a verdict being worked out, or a text loaded from a list
    Digest,          // the file's digest text, as the digest step leaves it
    Good,            // "OK": read in full, or the copy holds what the source holds
    DigestMismatch,  // "<stored>NG(<digest>)": the copy's digest is another
    ReadError,       // the file, or one of the two compared, could not be read
    Problem,         // any other verdict: missing, another size, other bytes, extra entries
};

struct FileRow {
    std::string FileName;              // the file's own name, as the disc stores it
    FolderText Folder;                 // drive-rooted, ends in a backslash: Q:\DATA\SUB\ .
    std::string SizeText;              // size in bytes, plain decimal
    std::string ResultText;            // empty, a digest text or a verdict
    Outcome Kind = Outcome::Unjudged;  // what ResultText says

    std::string Path() const { return Folder + FileName; }
    // Rows are alike when they show and store the same texts; the kind only tells what they say.
    bool operator==(const FileRow& o) const {
        return FileName == o.FileName && Folder == o.Folder && SizeText == o.SizeText &&
               ResultText == o.ResultText;
    }
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
    void SetResult(std::size_t i, std::string text, Outcome kind);
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
