// The file layer on Windows: drive paths resolved through a DriveMap, every path handed to the
// system as UTF-16, files read with ReadFile under the share modes the reads ask for.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <string_view>
#include <utility>

#include "platform/HostFileSystem.h"
#include "platform/win32/Wide.h"

namespace korvane {

namespace {

using win32::AlteredByWindows;
using win32::HostPathW;
using win32::Widen;

// One ReadFile asks for at most this much: its count is 32-bit.
constexpr std::size_t kMaxReadChunk = 1U << 30;

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (ok()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

  private:
    HANDLE h_;
};

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A drive path made a host path, once every name in it is one Windows keeps as written and no
// folder on the way is a link: nothing when the path may not be looked up.
std::optional<std::wstring> Resolve(const DriveMap& drives, const std::string& drivePath) {
    if (drivePath.size() < 3) return std::nullopt;
    const std::optional<std::string> host = drives.ToHost(drivePath);
    if (!host) return std::nullopt;
    const std::string_view rest = std::string_view(drivePath).substr(3);
    std::size_t start = 0;
    while (start < rest.size()) {
        const std::size_t end = std::min(rest.find_first_of("\\/", start), rest.size());
        if (AlteredByWindows(rest.substr(start, end - start))) return std::nullopt;
        start = end + 1;
    }
    const std::wstring path = HostPathW(*host);
    if (path.empty()) return std::nullopt;
    // The folders between the drive's root and the last name: none may lead elsewhere.
    const std::size_t restStart = HostPathW(host->substr(0, host->size() - rest.size())).size();
    for (std::size_t i = path.find(L'\\', restStart);
         i != std::wstring::npos && i + 1 < path.size(); i = path.find(L'\\', i + 1)) {
        const DWORD attributes = GetFileAttributesW(path.substr(0, i).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && IsLink(attributes)) return std::nullopt;
    }
    return path;
}

std::uint64_t SizeFrom(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

class Win32File : public File {
  public:
    Win32File(HANDLE h, std::uint64_t size) : h_(h), size_(size) {}

    std::size_t Read(void* buffer, std::size_t n) override {
        if (failed_) return 0;
        auto* bytes = static_cast<char*>(buffer);
        std::size_t got = 0;
        while (got < n) {
            const auto want = static_cast<DWORD>(std::min(n - got, kMaxReadChunk));
            DWORD read = 0;
            if (!ReadFile(h_.get(), bytes + got, want, &read, nullptr)) {
                failed_ = true;  // a damaged sector: what came before it is still good
                break;
            }
            if (read == 0) {
                // The end, unless it came before the size the file was opened with.
                if (position_ + got < size_) failed_ = true;
                break;
            }
            got += read;
        }
        position_ += got;
        return got;
    }
    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return size_; }

  private:
    Handle h_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
    bool failed_ = false;
};

// Opens an existing disk file for reading without following a link at its name; nothing for a
// folder, a device, a pipe or a console, whatever the name says.
std::unique_ptr<File> OpenDiskFile(const std::wstring& path, DWORD share) {
    Handle h(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.ok() || GetFileType(h.get()) != FILE_TYPE_DISK) return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h.get(), &info)) return nullptr;
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return nullptr;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.get(), &size) || size.QuadPart < 0) return nullptr;
    return std::make_unique<Win32File>(h.release(), static_cast<std::uint64_t>(size.QuadPart));
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> AttributesOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return data;
}

bool IsPlainFile(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (data.dwFileAttributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

class Win32FileSystem : public FileSystem {
  public:
    explicit Win32FileSystem(const DriveMap& drives) : drives_(drives) {}

    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override {
        out.clear();
        std::optional<std::wstring> path = Resolve(drives_, folder);
        if (!path) return false;
        if (path->back() != L'\\') path->push_back(L'\\');
        if (path->size() > 3) {
            const auto self = AttributesOf(path->substr(0, path->size() - 1));
            if (!self || IsLink(self->dwFileAttributes)) return false;
        }
        path->push_back(L'*');
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileExW(path->c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                    nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
        bool ok = true;
        do {
            const std::wstring_view name(found.cFileName);
            if (name == L"." || name == L"..") continue;
            if (out.size() > kMaxListedEntries) {
                ok = false;
                break;
            }
            DirEntry entry{win32::Narrow(name), false, 0};
            const DWORD attributes = found.dwFileAttributes;
            if (entry.name.empty()) {
                entry.kind = EntryKind::Unreadable;
            } else if (IsLink(attributes)) {
                // Junctions and symbolic links alike: reported, never followed.
                entry.kind = EntryKind::Link;
            } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                entry.isFolder = true;
            } else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
                entry.kind = EntryKind::Device;
            } else {
                entry.size = SizeFrom(found.nFileSizeHigh, found.nFileSizeLow);
            }
            out.push_back(std::move(entry));
        } while (FindNextFileW(h, &found));
        if (ok && GetLastError() != ERROR_NO_MORE_FILES) ok = false;
        FindClose(h);
        return ok;
    }

    std::unique_ptr<File> Open(const std::string& path, ShareMode share) override {
        const std::optional<std::wstring> host = Resolve(drives_, path);
        if (!host || host->back() == L'\\') return nullptr;
        // The byte comparison and the read test keep writers out while they read; a digest
        // lets everyone in.
        const DWORD mode = share == ShareMode::Exclusive
                               ? FILE_SHARE_READ
                               : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        return OpenDiskFile(*host, mode);
    }

    bool FileExists(const std::string& path) override { return SizeOf(path).has_value(); }

    std::optional<std::uint64_t> SizeOf(const std::string& path) override {
        const std::optional<std::wstring> host = Resolve(drives_, path);
        if (!host) return std::nullopt;
        const auto data = AttributesOf(*host);
        if (!data || !IsPlainFile(*data)) return std::nullopt;
        return SizeFrom(data->nFileSizeHigh, data->nFileSizeLow);
    }

    bool ReadWhole(const std::string& hostPath, std::string& out) override {
        out.clear();
        const std::unique_ptr<File> file =
            OpenDiskFile(HostPathW(hostPath), FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (!file) return false;
        if (file->Size() > static_cast<std::uint64_t>(SIZE_MAX / 2)) return false;
        out.resize(static_cast<std::size_t>(file->Size()));
        const std::size_t got = file->Read(out.data(), out.size());
        if (got != out.size()) {
            out.clear();
            return false;
        }
        return true;
    }

    WriteResult WriteWholeAtomically(const std::string& hostPath, std::string_view data) override;

    bool IsHostFile(const std::string& path, const std::string& hostPath) override {
        const std::optional<std::wstring> host = Resolve(drives_, path);
        if (!host) return false;
        auto identity = [](const std::wstring& p) -> std::optional<std::pair<DWORD, ULONGLONG>> {
            Handle h(CreateFileW(
                p.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            BY_HANDLE_FILE_INFORMATION info;
            if (!h.ok() || !GetFileInformationByHandle(h.get(), &info)) return std::nullopt;
            return std::pair{
                info.dwVolumeSerialNumber,
                (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
        };
        const auto a = identity(*host);
        return a && a == identity(HostPathW(hostPath));
    }

  private:
    const DriveMap& drives_;
};

WriteResult Failed() {
    return {false, win32::LastErrorText()};
}

bool WriteAll(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        DWORD wrote = 0;
        const auto n = static_cast<DWORD>(std::min(data.size(), kMaxReadChunk));
        if (!WriteFile(h, data.data(), n, &wrote, nullptr)) return false;
        if (wrote == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        data.remove_prefix(wrote);
    }
    return true;
}

WriteResult Win32FileSystem::WriteWholeAtomically(const std::string& hostPath,
                                                  std::string_view data) {
    const std::wstring target = HostPathW(hostPath);
    if (target.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return Failed();
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
        // No regular file: written to as it stands, never replaced.
        Handle h(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr));
        if (!h.ok() || !WriteAll(h.get(), data)) return Failed();
        return {};
    }
    static std::atomic<unsigned> counter{0};
    const std::wstring temporary = target + L".korvane-" + std::to_wstring(GetCurrentProcessId()) +
                                   L"-" + std::to_wstring(counter.fetch_add(1)) + L".tmp";
    {
        Handle h(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.ok()) return Failed();
        if (!WriteAll(h.get(), data) || !FlushFileBuffers(h.get())) {
            const WriteResult failed = Failed();
            CloseHandle(h.release());
            DeleteFileW(temporary.c_str());
            return failed;
        }
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const WriteResult failed = Failed();
        DeleteFileW(temporary.c_str());
        return failed;
    }
    return {};
}

}  // namespace

std::unique_ptr<FileSystem> MakeHostFileSystem(const DriveMap& drives) {
    return std::make_unique<Win32FileSystem>(drives);
}

}  // namespace korvane
