// Faults found by fuzzing and sanitizers, each named after what it found.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/numbers.h"

using namespace varelo;

// Leading zeros of an exponent used up the digits kept for it, so "1e0000001" read as 1
// and a number far past the double range was accepted as a small one.
TEST(Regressions, ExponentLeadingZerosKeepTheExponentsValue) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1e0000001", 10},    {"2E+0000003", 2000}, {"5e-00000001", 0.5},
        {"1E+000010010", {}}, {"1e000000000", 1},   {"0e0000000000000400", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(host::ParseNumber(c.text), c.value);
        EXPECT_EQ(host::LeadingValue(std::string(c.text) + "x"), c.value.value_or(0));
    }
    EXPECT_EQ(host::ToInt16("1e00002"), 100);
}
