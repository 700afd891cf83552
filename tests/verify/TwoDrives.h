// A session whose source drive Q: and copy drive R: are two real temporary folders.
#pragma once

#include <string>

#include "support/SessionFixture.h"

namespace korvane::test {

class TwoDrives : public SessionFixture {
  protected:
    TwoDrives() {
        drives.Set('Q', tree.MakeFolder("master"));
        drives.Set('R', tree.MakeFolder("copy"));
        window.master = "Q:\\";
        window.copy = "R:\\";
        window.driveCount = 1;
    }

    // Host-relative paths of a file on either drive.
    static std::string OnMaster(const std::string& name) { return "master/" + name; }
    static std::string OnCopy(const std::string& name) { return "copy/" + name; }

    void AddRow(const std::string& name, const std::string& sizeText, std::string result = {},
                const std::string& folder = "Q:\\") {
        s.table.Append({name, folder, sizeText, std::move(result)});
    }

    const std::string& Result(std::size_t i) const { return s.table.Row(i).ResultText; }
    const std::string& Outcome() const { return window.panels[2]; }
};

}  // namespace korvane::test
