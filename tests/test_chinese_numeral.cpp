#include <gtest/gtest.h>

#include <string>

#include "compose/chinese_numeral.h"
#include "doc/application.h"

using varelo::host::Application;
using varelo::layout::ToChineseNumeral;

namespace {

struct Case {
    std::string input;
    std::string result;
    std::string argumentAfter;  // the argument once the call returns
    bool message;               // "无效的数字" shown once
};

const Case kCases[] = {
    // Worked examples.
    {"0", "零", "0", false},
    {"1", "一", "1", false},
    {"10", "一十", "10", false},
    {"11", "一十一", "11", false},
    {"20", "二十", "20", false},
    {"21", "二十一", "21", false},
    {"105", "一百零五", "105", false},
    {"110", "一百一十", "110", false},
    {"1000", "一千", "1000", false},
    {"1001", "一千零一", "1001", false},
    {"1010", "一千零一十", "1010", false},
    {"10001", "一万零一", "10001", false},
    {"10100", "一万零一百", "10100", false},
    {"100000", "一十万", "100000", false},
    {"100100", "一十万零一百", "100100", false},
    {"10000000", "一千万", "10000000", false},
    {"20304050", "二千零三十万四千零五十", "20304050", false},
    {"100000000", "一亿", "100000000", false},
    {"100010000", "一亿零一万", "100010000", false},
    {"100000001", "一亿零一", "100000001", false},
    {"1000000000000", "一兆", "1000000000000", false},
    // Groups that are all zero or start with zeros.
    {"1000000100000001", "一千兆零一亿零一", "1000000100000001", false},
    {"9999999999999999", "九千九百九十九兆九千九百九十九亿九千九百九十九万九千九百九十九",
     "9999999999999999", false},
    // Normalisation of the argument.
    {"007", "七", "7", false},
    {"00", "零", "0", false},
    {" 12 ", "一十二", "12", false},
    {"\t+3", "三", "3", false},
    {"000000000000000000001", "一", "1", false},
    // Blank input is silent.
    {"", "", "", false},
    {"   ", "", "   ", false},
    // Rejected input keeps its text.
    {"abc", "", "abc", true},
    {"1.5", "", "1.5", true},
    {"-3", "", "-3", true},
    {"3-4", "", "3-4", true},
    {"++1", "", "++1", true},
    {"1e3", "", "1e3", true},
    // Beyond the sixteen positions the tables cover.
    {"10000000000000000", "", "10000000000000000", true},
    {" 0012345678901234567 ", "", " 0012345678901234567 ", true},
};

}  // namespace

TEST(ChineseNumeral, ConvertsNormalisesAndRejects) {
    for (const Case& c : kCases) {
        SCOPED_TRACE("input \"" + c.input + "\"");
        Application app;
        std::string argument = c.input;
        EXPECT_EQ(ToChineseNumeral(argument, app), c.result);
        EXPECT_EQ(argument, c.argumentAfter);
        if (c.message)
            EXPECT_EQ(app.messages, std::vector<std::string>{"无效的数字"});
        else
            EXPECT_TRUE(app.messages.empty());
    }
}
