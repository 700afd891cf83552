// What the disc-image scenarios share: the source trees and their images, made once per
// process, a session over mounted discs, and the oracle (md5sum and cmp on the host trees).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Session.h"
#include "platform/DriveMap.h"
#include "platform/HostFileSystem.h"
#include "reading/Engine.h"
#include "support/DiscImage.h"
#include "support/FakeClock.h"
#include "support/FakeWindow.h"
#include "support/TempTree.h"

namespace korvane::test {

// Relative path -> digest text, as md5sum reports it for every file under a host folder.
using Md5Map = std::map<std::string, std::string>;
Md5Map Md5sumOf(const std::string& root);
// True when cmp finds the two host files equal.
bool CmpSame(const std::string& a, const std::string& b);

// A tree, the image made of it, and what md5sum says of its files.
struct Disc {
    std::string tree;
    std::string image;
    Md5Map md5;
};

// The discs every scenario uses, built on first use and removed when the process ends.
struct DiscLibrary {
    // The large source: Japanese names, names with spaces and leading dots, empty files, files
    // of exactly 64,000, 1,000,000 and 2,000,000 bytes, 20 nested folders, 2,000 files in one.
    Disc source;
    Disc goodCopy;  // the same files on another disc
    // The source with one fault of each kind (kCopyFaults). The file moved one folder deeper
    // is also a file only the copy holds, in a folder only the copy holds.
    Disc badCopy;
    // A small source, for scenarios that run many times: its first file is the large one.
    Disc small;
    Disc smallCopy;

    static const DiscLibrary& Get();

  private:
    DiscLibrary();
    TempTree work_;
    TempTree sourceTree_, badTree_, smallTree_;
};

// The faults of the bad copy, by the path that carries them.
struct CopyFault {
    const char* what;
    const char* path;
};
extern const std::vector<CopyFault> kCopyFaults;

// "D:\many\" and "f1.txt" -> "many/f1.txt".
std::string RelativePath(const FileRow& row);

// The verdicts a correct program reaches, worked out from the host trees alone.
std::string DigestVerdict(const Disc& source, const Disc& copy, const std::string& rel);
std::string BinaryVerdict(const Disc& source, const Disc& copy, const std::string& rel);

using Expected = std::function<std::string(const std::string& rel)>;

// Every file of the tree has exactly one row, with its size and the expected result. With a
// copy tree, every file only the copy holds has one row too, after all of those: its size on
// the copy and "Extra file"; and when the source was scanned (foldersCompared), so has every
// outermost folder only the copy holds: "Extra folder", size 0.
void ExpectRows(const FileTable& table, const std::string& tree, const Expected& expected,
                const std::string& copyTree = {}, bool foldersCompared = true);

// The digest list text that saving these rows must give, each result from `expected`.
std::string ListText(const FileTable& table, const std::string& tree, const Expected& expected);
std::string CsvText(const FileTable& table, const std::string& tree, const Expected& expected,
                    const std::string& copyTree = {});

// A session over drive letters and a folder for its result files.
class Scenario : public ::testing::Test {
  protected:
    Scenario() {
        window.recordGauges = false;
        // Time stands still: the pumps, by number, are the same in every run of a command.
        s.reading().pacer.SetClock(&clock);
    }

    // Runs CSV出力 into a fresh file and returns what was written.
    std::string ExportCsv();
    // The host path of a new file in this test's output folder.
    std::string OutPath(const std::string& name) const { return out.Host(name); }
    const std::string& Outcome() const { return window.panels[2]; }

    TempTree out;
    DriveMap drives;
    std::unique_ptr<FileSystem> files = MakeHostFileSystem(drives);
    FakeWindow window;
    FakeClock clock;
    Session s{window, *files, &drives};
};

// A scenario on mounted disc images: skipped where they cannot be mounted, failed under CI.
class DiscScenario : public Scenario {
  protected:
    void SetUp() override { KORVANE_REQUIRE_DISC_TOOLS(); }
    const DiscLibrary& Lib() const { return DiscLibrary::Get(); }
};

}  // namespace korvane::test
