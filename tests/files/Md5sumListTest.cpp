// md5sum-format lists, checked by md5sum itself.
#include <gtest/gtest.h>

#include <string>

#include "core/FileTable.h"
#include "files/Md5sumList.h"
#include "support/DiscImage.h"
#include "support/TempTree.h"

namespace korvane::test {
namespace {

// Names with a backslash, a line feed or a carriage return are escaped as GNU md5sum escapes
// them, and rows without a digest or on another drive are left out.
TEST(Md5sumList, Md5sumChecksEveryNameItWasGiven) {
    TempTree tree;
    tree.WriteFile("sub/back\\slash\nline", "x");
    tree.WriteFile("plain name.txt", "x");
    tree.WriteFile("carriage\rreturn", "x");
    FileTable table;
    const std::string digestOfX = "9dd4e461268c8034f5c8564e155c67a6";
    table.Append({"back\\slash\nline", "Q:\\sub\\", "1", digestOfX});
    table.Append({"plain name.txt", "q:\\", "1", digestOfX});
    table.Append({"carriage\rreturn", "Q:\\", "1", digestOfX});
    table.Append({"unread.bin", "Q:\\", "1", "Read Error"});
    table.Append({"other.bin", "R:\\", "1", digestOfX});
    const std::string list = Md5sumListText(table, "Q:\\");
    EXPECT_EQ(list.rfind("\\" + digestOfX + "  sub/back\\\\slash\\nline\n", 0), 0u) << list;
    EXPECT_NE(list.find("\\" + digestOfX + "  carriage\\rreturn\n"), std::string::npos) << list;
    tree.WriteFile("list.md5", list);

    int status = -1;
    const std::string output =
        RunHost("cd " + ShellQuote(tree.root()) + " && md5sum -c list.md5", &status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("unread"), std::string::npos);
}

}  // namespace
}  // namespace korvane::test
