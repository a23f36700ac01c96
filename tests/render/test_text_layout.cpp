#include <gtest/gtest.h>

#include "render/fonts.h"
#include "render/render_support.h"
#include "render/text_layout.h"

using namespace varelo;
using namespace varelo::render;

namespace {

class TextLayoutTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { varelo::rendertest::StartOffscreen(); }

    host::Paragraph Para(const std::string& text, const std::string& font, double size) {
        host::Paragraph p;
        p.markFormat = {font, size, {}};
        p.Append(text);
        return p;
    }
    host::Document doc;
};

}  // namespace

TEST_F(TextLayoutTest, SheetFontsMapToInstalledFamilies) {
    struct Case {
        std::string name;
        QString family;
    };
    const Case cases[] = {{host::kFontHei, "Noto Sans CJK SC"},
                          {host::kFontSong, "Noto Serif CJK SC"},
                          {host::kFontKai, "AR PL UKai CN"},
                          {host::kFontBubble, "Block HX"},
                          {"block hx", "Block HX"}};
    for (const Case& c : cases) {
        EXPECT_EQ(SystemFamily(c.name), c.family) << c.name;
        // The family really draws: Qt did not substitute another one.
        EXPECT_EQ(QFontInfo(Face(c.name, false).font).family(), c.family) << c.name;
    }
}

TEST_F(TextLayoutTest, MissingFontFallsBackWithOneWarning) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(SystemFamily("No Such Font 42"), FallbackFamily());
    EXPECT_EQ(SystemFamily("No Such Font 42"), FallbackFamily());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("No Such Font 42"), std::string::npos);
    EXPECT_EQ(err.find("No Such Font 42"), err.rfind("No Such Font 42"));  // once only
}

TEST_F(TextLayoutTest, LineSpacingRulesSetThePitch) {
    host::Paragraph p = Para("1.答题前\r\n2.选择题\r\n3.请按照\n4.保持", host::kFontSong, 7.5);
    p.format.lineSpacingRule = host::LineSpacingRule::Exactly;
    p.format.lineSpacing = 12;
    const ParagraphLayout layout = LayoutParagraph(doc, p, 500);
    ASSERT_EQ(layout.lines.size(), 4u);  // CR LF is one line end
    for (const TextLine& line : layout.lines) {
        EXPECT_DOUBLE_EQ(line.height, 12);
        EXPECT_LT(line.baseline, 12);
        EXPECT_GT(line.baseline, 12 - 7.5 * 0.4);  // the descent stays below the baseline
    }
    EXPECT_DOUBLE_EQ(layout.Height(), 48);

    // The other rules scale the font's natural line, or keep a minimum.
    p = Para("中", host::kFontSong, 10);
    const double single = LayoutParagraph(doc, p, 100).lines[0].height;
    EXPECT_GT(single, 10);
    p.format.lineSpacingRule = host::LineSpacingRule::Double;
    EXPECT_DOUBLE_EQ(LayoutParagraph(doc, p, 100).lines[0].height, 2 * single);
    p.format.lineSpacingRule = host::LineSpacingRule::AtLeast;
    p.format.lineSpacing = 40;
    EXPECT_DOUBLE_EQ(LayoutParagraph(doc, p, 100).lines[0].height, 40);
}

TEST_F(TextLayoutTest, LinesBreakAtTheWidthKeepingWordsAndClosingPunctuation) {
    // Ten ideographs of 10 pt in 45 pt: four to a line.
    const ParagraphLayout cjk =
        LayoutParagraph(doc, Para("一二三四五六七八九十", host::kFontSong, 10), 45);
    ASSERT_EQ(cjk.lines.size(), 3u);
    EXPECT_NEAR(cjk.lines[0].width, 40, 0.5);
    // A full stop never starts a line: it goes with the ideograph before it.
    const ParagraphLayout stop = LayoutParagraph(doc, Para("一二三四。", host::kFontSong, 10), 45);
    ASSERT_EQ(stop.lines.size(), 2u);
    EXPECT_EQ(stop.lines[1].pieces.front().text, QString::fromUtf8("四。"));
    // Latin words wrap whole at blanks; blanks at the end of a line take no room.
    const double twoWords =
        LayoutParagraph(doc, Para("alpha beta", host::kFontHei, 10), 1000).lines[0].width;
    const ParagraphLayout words =
        LayoutParagraph(doc, Para("alpha beta gamma", host::kFontHei, 10), twoWords + 1);
    ASSERT_EQ(words.lines.size(), 2u);
    QString first;
    for (const TextPiece& piece : words.lines[0].pieces) first += piece.text;
    EXPECT_EQ(first.trimmed(), "alpha beta");
    // Justified: the first line reaches the right edge, the last does not.
    EXPECT_NEAR(words.lines[0].pieces.back().x + words.lines[0].pieces.back().width, twoWords + 1,
                0.01);
    EXPECT_EQ(words.lines[1].pieces.front().x, 0);
    EXPECT_DOUBLE_EQ(words.lines[0].width, twoWords);
    EXPECT_TRUE(words.visible);
    EXPECT_FALSE(LayoutParagraph(doc, Para("  \t", host::kFontHei, 10), 60).visible);
}
