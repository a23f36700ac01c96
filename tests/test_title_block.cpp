#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "sheet_fixture.h"

using namespace varelo;
using fixture::SheetFixture;
using host::CellRect;

namespace {

// Resolved font of a paragraph's text and of its mark, as the page would show them.
host::CharFormat Look(const host::Document& doc, const host::Paragraph& p) {
    const host::CharFormat mark = doc.Resolve(p, p.markFormat);
    for (const host::Run& r : p.runs) EXPECT_EQ(doc.Resolve(p, r.format), mark);
    return mark;
}

}  // namespace

TEST(TitleBlock, EmptySetterNameLeavesTheLabelInItsFont) {
    SheetFixture s;
    s.exam.setter = "";
    s.Build(1, SheetFixture::kTitleBlock);
    const host::Cell& cell = s.Grid().At(2, 3);
    ASSERT_EQ(cell.content.size(), 3u);
    EXPECT_EQ(cell.content[2].paragraph.Text(), "命题人：");
    EXPECT_EQ(Look(s.doc, cell.content[2].paragraph),
              (host::CharFormat{host::kFontKai, 10, false}));
}

TEST(TitleBlock, HeadingStylesAreRedefinedAlsoForAnUnknownLayout) {
    for (int16_t code : {1, 9}) {
        SheetFixture s;
        s.Build(1, SheetFixture::kPageGrid);
        const host::Table before = s.Grid();
        layout::BuildTitleBlock(*s.job, static_cast<exam::Layout>(code));
        const host::Style& h1 = s.doc.GetStyle(host::StyleId::Heading1);
        const host::Style& h2 = s.doc.GetStyle(host::StyleId::Heading2);
        EXPECT_EQ(std::tuple(h1.font, h1.size, h1.bold), std::tuple(host::kFontHei, 20, true));
        EXPECT_EQ(std::tuple(h2.font, h2.size, h2.bold), std::tuple(host::kFontSong, 17, false));
        for (const host::Style* h : {&h1, &h2}) {
            EXPECT_EQ(h->paragraph.alignment, host::Alignment::Center);
            EXPECT_EQ(h->paragraph.lineSpacingRule, host::LineSpacingRule::Single);
            EXPECT_EQ(h->paragraph.spaceBefore + h->paragraph.spaceAfter, 0);
        }
        EXPECT_EQ(s.Grid() == before, code == 9);
    }
}
