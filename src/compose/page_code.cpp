#include "codes/page_code.h"

#include <array>

#include "base/units.h"
#include "codes/qr_png.h"
#include "compose/generators.h"
#include "doc/errors.h"
#include "doc/table.h"

namespace varelo::layout {

namespace {

// Where each page's code stands: a block of four rows by three columns at the foot of the page,
// one empty column right of the page-number block. The flow never reaches those rows of the
// page column under it when the sheet prints codes (ObjectivePageColumns), and the block lies
// far from every mark: the corner marks are at the page's corners and the row marks in the
// outer mark column. Four rows (16.9 mm) and three columns (18 mm or more) hold the 16 mm code.
struct CodeBlock {
    int row1, row2;  // top row of the block on page 1 and on page 2
    int column;      // its left column
};

// Indexed by layout code - 1.
constexpr std::array<CodeBlock, kLayoutCount> kCodeBlocks{{
    {62, 127, 35},
    {62, 127, 35},
    {55, 112, 31},
    {55, 112, 31},
    {60, 123, 17},
    {51, 105, 17},
}};

constexpr int kCodeRows = 4, kCodeColumns = 3;
// Ten pixels to a module: the picture prints sharp at any printer's resolution.
constexpr int kModulePixels = 10;
// The paragraph mark beside the picture at the smallest size, so the line is barely taller
// than the picture.
constexpr double kMarkSize = 1;

std::shared_ptr<const host::InlinePicture> CodePicture(const codes::PageCode& code) {
    auto picture = std::make_shared<host::InlinePicture>();
    picture->description = codes::PageCodePayload(code);
    picture->data = codes::QrCodePng(picture->description, kModulePixels);
    picture->contentType = "image/png";
    picture->width = picture->height = PageCodeSide();
    return picture;
}

}  // namespace

host::CellRect PageCodeArea(exam::Layout layout, int page) {
    const int16_t layoutCode = exam::Code(layout);
    if (layoutCode < 1 || layoutCode > kLayoutCount || page < 1 || page > 2) return {};
    const CodeBlock& b = kCodeBlocks[static_cast<size_t>(layoutCode - 1)];
    const int top = page == 1 ? b.row1 : b.row2;
    return {top, b.column, top + kCodeRows - 1, b.column + kCodeColumns - 1};
}

double PageCodeSide() {
    return host::CentimetersToPoints(kPageCodeMillimetres / 10);
}

void BuildPageCodes(SheetJob& job, exam::Layout layout) {
    if (!codes::IsExamId(job.exam.examId))
        throw host::HostError(host::kErrInvalidArgument, "Invalid procedure call or argument");
    host::Table& grid = job.doc.Tables(1);
    for (int page = 1; page <= 2; ++page) {
        const host::CellRect area = PageCodeArea(layout, page);
        if (area.top == 0) return;
        grid.Merge(area);
        host::Cell& cell = grid.At(area.top, area.left);
        cell.ApplyCharFormat({{}, kMarkSize, {}});
        cell.SetAlignment(host::Alignment::Center);
        // A single-spaced line grows to the picture; an exact one would cut it to 12 points.
        cell.SetLineSpacing(host::LineSpacingRule::Single, 12);
        cell.verticalAlignment = host::CellVAlign::Center;
        host::Paragraph& p = cell.FirstParagraph();
        host::Run run;
        run.format.size = kMarkSize;
        run.picture = CodePicture({job.exam.examId, page, {}, {}});
        p.runs.insert(p.runs.begin(), std::move(run));
    }
}

int NumberPageCodes(host::Document& doc, exam::Layout layout, const std::string& examId,
                    std::optional<long> serial) {
    int numbered = 0;
    host::Table& grid = doc.Tables(1);
    for (int page = 1; page <= 2; ++page) {
        const host::CellRect area = PageCodeArea(layout, page);
        if (area.top == 0 || area.bottom > grid.Rows() ||
            grid.CellArea(area.top, area.left) != area)
            continue;
        for (host::Block& block : grid.At(area.top, area.left).content)
            for (host::Run& run : block.paragraph.runs)
                if (run.picture) {
                    run.picture = CodePicture({examId, page, serial, {}});
                    ++numbered;
                }
    }
    return numbered;
}

}  // namespace varelo::layout
