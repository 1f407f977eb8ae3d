#include "control/text_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct NumberCase {
    const char* text;
    double value;
    bool found;
};

TEST(LeadingNumber, FollowsTheCLibraryRule) {
    const NumberCase cases[] = {
        {"25.3", 25.3, true},
        {"  12abc", 12, true},
        {"\t\n 7", 7, true},
        {"-5", -5, true},
        {"+.5", 0.5, true},
        {"5.", 5, true},
        {"1e", 1, true},
        {"1e+", 1, true},
        {"1.5e2kV", 150, true},
        {"0x1A", 26, true},
        {"0x.8", 0.5, true},
        {"0xg", 0, true},  // a zero, then other text
        {"1.2340V", 1.234, true},
        {"", 0, false},
        {" ", 0, false},
        {"abc", 0, false},
        {"- 5", 0, false},
        {"+-5", 0, false},
        {"inf", kInf, true},
        {"-Infinity", -kInf, true},
        {"1e400", kInf, true},
        {"-1e400", -kInf, true},
        {"0.0000000000000000000000000001e330", 1e302, true},
        {"1e-400", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const LeadingNumber n = ParseLeadingNumber(c.text);
        EXPECT_EQ(n.found, c.found);
        EXPECT_DOUBLE_EQ(n.value, c.value);
        EXPECT_DOUBLE_EQ(ReadLeadingNumber(c.text), c.value);
    }
}

TEST(LeadingNumber, NotANumberReadsAsNoNumber) {
    for (const char* text : {"nan", "NaN", "-nan", "nan(0x7ff)", "  NAN kV"}) {
        SCOPED_TRACE(text);
        const LeadingNumber n = ParseLeadingNumber(text);
        EXPECT_FALSE(n.found);
        EXPECT_EQ(n.value, 0.0);
        EXPECT_FALSE(std::signbit(n.value));
    }
}

TEST(LeadingInteger, SaturatesInsteadOfOverflowing) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"20kV", 20},        {" -7uA", -7},       {"2.9", 2},
        {"abc", 0},          {"", 0},             {"+-1", 0},
        {"99999999999", INT32_MAX},               {"-99999999999", INT32_MIN},
        {"2147483647", INT32_MAX},                {"-2147483648", INT32_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadLeadingInteger(c.text), c.value);
    }
}

}  // namespace
