// The table written as TAB-separated lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/Steps.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

class TableExport : public SessionFixture {
  protected:
    void Export() {
        window.saveAnswers.push_back(out);
        StepExportCsv(s);
    }
    std::string out = tree.Host("table.csv");
};

TEST_F(TableExport, OneRowOneLine) {
    s.table.Append({"readme.txt", "Q:\\docs\\", "1234", "OK"});
    Export();
    ASSERT_EQ(window.saveRequests.size(), 1u);
    EXPECT_EQ(window.saveRequests[0].filter, "*.csv(*.csv)|*.csv");
    EXPECT_EQ(window.saveRequests[0].fileName, ".csv");
    EXPECT_EQ(tree.ReadFile("table.csv"), "readme.txt\tQ:\\docs\\\t1234\tOK\r\n");
}

TEST_F(TableExport, EmptyResultEndsInTab) {
    s.table.Append({"a", "Q:\\", "0", "binary mismatch M rd err"});
    s.table.Append({"日本語", "Q:\\データ\\", "5", ""});
    Export();
    EXPECT_EQ(tree.ReadFile("table.csv"),
              "a\tQ:\\\t0\tbinary mismatch M rd err\r\n日本語\tQ:\\データ\\\t5\t\r\n");
}

TEST_F(TableExport, EmptyTableShowsMessageAndNoDialog) {
    Export();
    EXPECT_EQ(window.messages, (std::vector<std::string>{"保存するデータがありません"}));
    EXPECT_TRUE(window.saveRequests.empty());
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(TableExport, TabOrLineBreakInFieldIsRefused) {
    for (const char* bad : {"a\tb", "a\nb", "a\rb"}) {
        s.table.Clear();
        s.table.Append({"fine", "Q:\\", "1", "OK"});
        s.table.Append({bad, "Q:\\", "1", "OK"});
        window.messages.clear();
        Export();
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0], "ファイル名 Q:\\" + std::string(bad) +
                                          " はタブまたは改行を含むため書き出せません");
        EXPECT_TRUE(window.saveRequests.empty());
        window.saveAnswers.clear();
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace korvane::test
