// Pictures inline in a paragraph: laid out in the line like a glyph of their height, painted
// at their size where their paragraph is, and cut to an exact line.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <memory>

#include "render/render_support.h"
#include "render/text_layout.h"

using namespace varelo;
using namespace varelo::rendertest;

namespace {

class PicturesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { StartOffscreen(); }
};

// A picture of one colour, as a PNG.
std::shared_ptr<const host::InlinePicture> Solid(double width, double height, QColor colour) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::make_shared<const host::InlinePicture>(
        host::InlinePicture{png.toStdString(), "image/png", width, height, ""});
}

host::Run PictureRun(std::shared_ptr<const host::InlinePicture> picture) {
    host::Run run;
    run.picture = std::move(picture);
    return run;
}

}  // namespace

TEST_F(PicturesTest, APictureIsALineItemThatMakesItsLineAtLeastItsHeightUnlessTheLineIsExact) {
    host::Document doc;
    host::Paragraph p;
    p.markFormat = {host::kFontSong, 10.5, {}};
    p.format.alignment = host::Alignment::Left;
    p.Append("ab");
    p.runs.push_back(PictureRun(Solid(30, 40, Qt::black)));
    p.Append("cd");
    p.runs.push_back(PictureRun(Solid(60, 10, Qt::black)));

    const render::ParagraphLayout single = render::LayoutParagraph(doc, p, 90);
    ASSERT_EQ(single.lines.size(), 2u);  // the second picture does not fit after "cd"
    const render::TextLine& first = single.lines[0];
    EXPECT_GE(first.height, 40);
    EXPECT_GE(first.baseline, 40);
    ASSERT_EQ(first.pieces.size(), 3u);
    EXPECT_TRUE(first.pieces[1].picture);
    EXPECT_GT(first.pieces[1].x, 0);
    EXPECT_DOUBLE_EQ(first.pieces[1].width, 30);
    EXPECT_DOUBLE_EQ(first.pieces[2].x, first.pieces[1].x + 30);
    EXPECT_FALSE(first.clipped);
    EXPECT_LT(single.lines[1].height, 20);  // the text's own height: the picture is 10 pt

    p.format.lineSpacingRule = host::LineSpacingRule::Exactly;
    p.format.lineSpacing = 12;
    const render::ParagraphLayout exact = render::LayoutParagraph(doc, p, 90);
    EXPECT_DOUBLE_EQ(exact.lines[0].height, 12);
    EXPECT_TRUE(exact.lines[0].clipped);

    // Painted, the exact line shows the picture's foot up to the line's top, nothing above.
    QImage image(100 * kScale, 40 * kScale, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.scale(kScale, kScale);
        render::DrawParagraph(painter, exact, 0, 20);
    }
    const double x = exact.lines[0].pieces[1].x;
    EXPECT_GT(DarkShare(image, QRectF(x + 2, 21, 26, 8)), 0.95);
    EXPECT_EQ(DarkShare(image, QRectF(x, 0, 30, 19.5)), 0);
}

TEST_F(PicturesTest, APictureInACellPaintsThereAtItsSize) {
    GridPage page;
    host::Cell& cell = page.table->At(3, 4);
    cell.SetAlignment(host::Alignment::Center);
    cell.SetLineSpacing(host::LineSpacingRule::Single, 12);
    cell.ApplyCharFormat({host::kFontSong, 5, {}});
    cell.FirstParagraph().runs.push_back(PictureRun(Solid(12, 9, Qt::black)));
    const QImage image = Render(PageRenderer(page.doc), 0);
    // The ink is the picture, at its size, centred in its cell's line.
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Dark(image.pixel(x, y))) ink |= QRect(x, y, 1, 1);
    const QRectF inkPoints(ink.left() / kScale, ink.top() / kScale, ink.width() / kScale,
                           ink.height() / kScale);
    EXPECT_NEAR(inkPoints.width(), 12, 0.5);
    EXPECT_NEAR(inkPoints.height(), 9, 0.5);
    const QRectF slot = GridPage::Cell(3, 4);
    EXPECT_TRUE(slot.adjusted(-0.25, -0.25, 0.25, 0.25).contains(inkPoints));
    EXPECT_NEAR(inkPoints.center().x(), slot.center().x(), 0.5);
}
