#include "formula/Formula.h"

#include <gtest/gtest.h>

using namespace velor;

TEST(Formula, ClosePlusOne)
{
    BarVars b;
    b.BarCount = 2;
    b.BarClose[1] = 100;
    b.BarClose[2] = 90;
    const auto p = formula::compile(QStringLiteral("C - C[1] + 1"));
    ASSERT_TRUE(p);
    EXPECT_EQ(formula::evaluate(*p, b, 1), 11.0);
    EXPECT_EQ(formula::evaluate(*p, b, 2), std::nullopt);
}
