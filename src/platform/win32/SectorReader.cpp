// Sectors of an image file or of a drive ("\\.\Q:") read with ReadFile at their offsets.
#include "platform/SectorReader.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>

#include "platform/win32/Wide.h"

namespace korvane {

namespace {

class Win32SectorReader : public SectorReader {
  public:
    Win32SectorReader(HANDLE h, std::uint64_t length) : h_(h), length_(length) {}
    ~Win32SectorReader() override { CloseHandle(h_); }
    Win32SectorReader(const Win32SectorReader&) = delete;
    Win32SectorReader& operator=(const Win32SectorReader&) = delete;

    SectorRead Read(std::uint64_t first, std::size_t count, char* into) override {
        SectorRead result;
        const std::size_t wanted = count * kDiscSector;
        while (result.bytes < wanted) {
            const std::uint64_t at = first * kDiscSector + result.bytes;
            OVERLAPPED where{};
            where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFU);
            where.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD got = 0;
            const auto n =
                static_cast<DWORD>(std::min<std::size_t>(wanted - result.bytes, 1U << 30));
            if (!ReadFile(h_, into + result.bytes, n, &got, &where)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                result.failed = true;
                result.error = win32::LastErrorText();
                break;
            }
            if (got == 0) break;
            result.bytes += got;
        }
        return result;
    }

    std::uint64_t Length() const override { return length_; }

  private:
    HANDLE h_;
    std::uint64_t length_;
};

}  // namespace

std::unique_ptr<SectorReader> OpenSectorReader(const std::string& hostPath, std::string& error) {
    const std::wstring path = win32::HostPathW(hostPath);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = win32::LastErrorText();
        return nullptr;
    }
    std::uint64_t length = 0;
    LARGE_INTEGER size;
    GET_LENGTH_INFORMATION disc;
    DWORD returned = 0;
    if (GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size) && size.QuadPart > 0) {
        length = static_cast<std::uint64_t>(size.QuadPart);
    } else if (DeviceIoControl(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &disc, sizeof disc,
                               &returned, nullptr)) {
        length = static_cast<std::uint64_t>(disc.Length.QuadPart);
    }
    return std::make_unique<Win32SectorReader>(h, length);
}

}  // namespace korvane
