#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/numbers.h"

using namespace varelo::host;

TEST(Numbers, ToInt16RoundsHalvesToEvenAndRefusesWhatIsNoWholeNumberInRange) {
    struct Case {
        std::string text;
        std::optional<int16_t> value;
    };
    const std::vector<Case> cases = {
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {"0.5", 0},
        {"2.51", 3},
        {" 9 ", 9},
        {"+7", 7},
        {"1e2", 100},
        {"32767", 32767},
        {"-32768", -32768},
        {"32767.5", std::nullopt},
        {"32768", std::nullopt},
        {"-32769", std::nullopt},
        {"1e9", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"--1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ToInt16(c.text), c.value) << '"' << c.text << '"';
}

TEST(Numbers, LeadingValueReadsTheLeadingNumberSkippingBlanks) {
    EXPECT_EQ(LeadingValue("12abc"), 12);
    EXPECT_EQ(LeadingValue(""), 0);
    EXPECT_EQ(LeadingValue("abc"), 0);
    EXPECT_EQ(LeadingValue(" 1 2"), 12);
    EXPECT_EQ(LeadingValue("1.5分"), 1.5);
    EXPECT_EQ(LeadingValue("-3x"), -3);
}

TEST(Numbers, NumberToTextUsesTheShortestPlainForm) {
    EXPECT_EQ(NumberToText(30), "30");
    EXPECT_EQ(NumberToText(15.0), "15");
    EXPECT_EQ(NumberToText(1.5), "1.5");
    EXPECT_EQ(NumberToText(0.1 * 3), "0.3");
    EXPECT_EQ(NumberToText(1e15), "1E+15");
    EXPECT_EQ(NumberToText(-0.5), "-0.5");
    EXPECT_EQ(NumberToText(0), "0");
    EXPECT_EQ(NumberToText(1.5 * 10), "15");
}
