#include "lists/SortByValue.h"

#include <algorithm>
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

// The order the lists have always had: each entry goes in front of the first entry whose value
// is strictly greater in single precision.
std::vector<int32_t> insertionOrder(const std::vector<double> &values)
{
    std::vector<int32_t> out;
    for (int32_t e = 1; e < int32_t(values.size()); ++e) {
        auto at = std::find_if(out.begin(), out.end(), [&](int32_t k) { return float(values[size_t(k)]) > float(values[size_t(e)]); });
        out.insert(at, e);
    }
    return out;
}

TEST(SortByValue, SameOrderAsInsertingOneByOneWithManyEqualValues)
{
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 1000; };
    for (int n : {1, 2, 7, 100, 2500}) {
        std::vector<double> values(size_t(n) + 1, 0.0);
        for (int e = 1; e <= n; ++e) values[size_t(e)] = double(next() % 50) + (next() % 2) * 1e-9 - 20;
        std::vector<int16_t> narrow(values.size(), 0);
        std::vector<int32_t> wide(values.size(), 0);
        SortByValue(values, narrow, n);
        SortByValue(values, wide, n);
        const auto expected = insertionOrder(values);
        EXPECT_EQ(std::vector<int32_t>(narrow.begin() + 1, narrow.end()), expected) << n;
        EXPECT_EQ(std::vector<int32_t>(wide.begin() + 1, wide.end()), expected) << n;
    }
}

TEST(SortByValue, AWideIndexOrdersMoreThan32767Entries)
{
    const int n = 40000;
    std::vector<double> values(size_t(n) + 1, 0.0);
    for (int e = 1; e <= n; ++e) values[size_t(e)] = double((n - e) / 2);   // pairs of equal values, descending
    std::vector<int32_t> index(values.size(), 0);
    SortByValue(values, index, n);
    EXPECT_EQ(index[1], 39999);
    EXPECT_EQ(index[2], 40000);
    EXPECT_EQ(index[3], 39997);
    EXPECT_EQ(index[39999], 1);
    EXPECT_EQ(index[40000], 2);
}

} // namespace
} // namespace velor
