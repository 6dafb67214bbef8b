#include "lists/SortByValue.h"

#include <gtest/gtest.h>
#include <vector>

namespace velor {
namespace {

struct Case {
    const char *name;
    std::vector<double> values;   // entries 1..n (element 0 unused)
    std::vector<int16_t> expected;
};

class SortByValueCases : public ::testing::TestWithParam<Case> {};

TEST_P(SortByValueCases, OrdersEntriesAscending)
{
    const Case &c = GetParam();
    const int count = int(c.values.size()) - 1;
    std::vector<int16_t> index(c.values.size(), 0);
    SortByValue(c.values, index, count);
    EXPECT_EQ(std::vector<int16_t>(index.begin() + 1, index.end()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SortByValueCases,
    ::testing::Values(Case{"plain", {0, 3, 1, 2}, {2, 3, 1}},
                      Case{"equalValuesKeepEntryOrder", {0, 1332, 1301, 1332}, {2, 1, 3}},
                      Case{"equalInSinglePrecision", {0, 1.00000001, 1.0, 0.5}, {3, 1, 2}},
                      Case{"negatives", {0, -1, -5, 0, 2}, {2, 1, 3, 4}},
                      Case{"alreadySorted", {0, 1, 2, 3}, {1, 2, 3}},
                      Case{"single", {0, 7}, {1}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SortByValue, CountZeroLeavesTheIndexAlone)
{
    std::vector<double> values = {0};
    std::vector<int16_t> index = {9};
    SortByValue(values, index, 0);
    EXPECT_EQ(index[0], 9);
}

} // namespace
} // namespace velor
