// The overall verdict of a run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Steps.h"
#include "core/Texts.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

struct SummaryCase {
    const char* name;
    std::vector<std::string> results;
    bool unlistedFolder;
    bool success;
};

class Summary : public SessionFixture, public ::testing::WithParamInterface<SummaryCase> {};

TEST_P(Summary, SuccessOnlyWhenEveryRowIsOk) {
    window.panels[2] = "before";
    for (const std::string& r : GetParam().results) s.table.Append({"f", "Q:\\", "1", r});
    if (GetParam().unlistedFolder) s.unlistedFolders.push_back("Q:\\LOST\\");
    StepSummary(s);
    EXPECT_EQ(window.panels[2], GetParam().success ? text::kSuccess : "before");
}

INSTANTIATE_TEST_SUITE_P(
    Tables, Summary,
    ::testing::Values(SummaryCase{"Empty", {}, false, true},
                      SummaryCase{"AllOk", {"OK", "OK"}, false, true},
                      SummaryCase{"TrailingSpace", {"OK", "OK "}, false, false},
                      SummaryCase{"LowerCase", {"ok"}, false, false},
                      SummaryCase{"ZeroSizeSkip", {"OK", "0 size skip"}, false, false},
                      SummaryCase{"Unfinished", {"checking binary..."}, false, false},
                      SummaryCase{"EmptyResult", {""}, false, false},
                      SummaryCase{"FirstFails", {"File Not Found", "OK"}, false, false},
                      SummaryCase{"UnlistedFolder", {"OK"}, true, false},
                      SummaryCase{"EmptyButUnlisted", {}, true, false}),
    [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace korvane::test
