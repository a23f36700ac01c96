#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The scanner template of a sheet as plain data: where every positioning mark and every bubble
// lies on the printed pages, in millimetres; its JSON and the OMRChecker format. It is read off a
// sheet in compose/template_reading.h and read back from JSON in omr/template_file.h.
namespace varelo::layout {

// A sheet that does not hold what its settings describe, or a template that cannot be
// written; what() says why, fit to show the user.
class OmrError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Millimetres from the top-left corner of a page.
struct OmrRect {
    int page = 1;  // 1-based
    double x = 0, y = 0, width = 0, height = 0;

    double CenterX() const { return x + width / 2; }
    double CenterY() const { return y + height / 2; }
};

// A bubble: the box of the bubble glyph, with the value it stands for ("0".."9", "A".., and
// "T" and "F" for the true-or-false bubbles √ and ×).
struct OmrBubble {
    std::string value;
    OmrRect rect;
};

struct OmrMark {
    bool corner = false;  // one of a page's corner marks; otherwise a row mark
    OmrRect rect;
};

struct OmrPage {
    double width = 0, height = 0;  // mm
    std::vector<OmrMark> marks;    // top to bottom, then left to right
};

struct OmrGroup {
    std::string number, name;  // the list's group number and name texts
    double points = 0;         // per item
    int firstItem = 0, itemCount = 0, optionCount = 0;
    std::string labels = "字母";  // the option type: "字母", "数字" or "判断"
};

struct OmrItem {
    int number = 0;
    int group = 0;  // 1-based index into OmrTemplate::groups
    double points = 0;
    std::vector<OmrBubble> options;  // "A", "B", ... in order
};

// A written answer's area as printed, for marking systems that cut it from the scans.
struct OmrRegion {
    std::string kind;  // "填空", "解答" or "作文"
    int section = 0;   // 1-based index into the exam's written sections
    int item = 0;      // the item number printed on the sheet
    int part = 0;      // a composition split over page columns: 1, 2, ...; otherwise 0
    double points = 0;
    OmrRect rect;
};

// An optional question (选做题): the bubbles of the items a candidate chooses from, each with
// the item number as its value, and the one answer region they share.
struct OmrChoice {
    int section = 0;  // 1-based index into the exam's written sections
    std::vector<OmrBubble> bubbles;
};

struct OmrTemplate {
    std::string layout, title, subtitle;
    std::vector<OmrPage> pages;
    // The candidate-number field: one column per digit position, left to right, each
    // holding the bubbles of the digits 0 to 9 from top to bottom.
    std::vector<std::vector<OmrBubble>> candidateColumns;
    std::vector<OmrGroup> groups;
    std::vector<OmrItem> items;
    std::vector<OmrRegion> regions;  // in item order
    // The printed page codes (codes/page_code.h): the exam's id and, per page that prints one,
    // the square its QR code stands in. Empty on a sheet without codes.
    std::string examId;
    std::vector<OmrRect> pageCodes;  // in page order
    // The marks the reader honours beside the answers; empty on a sheet without them.
    std::vector<OmrBubble> absent;      // the 缺考 bubble, value "缺考"
    std::vector<OmrBubble> paperTypes;  // one per version of the paper, value "A", "B", ...
    std::vector<OmrChoice> choices;     // in section order
};

// Every mark field of the template, in the order readings keep them: the 缺考 bubble, the paper
// types, then each optional question.
std::vector<const std::vector<OmrBubble>*> MarkFields(const OmrTemplate& t);

// The square of the page's code, or null when the page prints none.
const OmrRect* PageCodeOf(const OmrTemplate& t, int page);

enum class OmrFormat { Varelo, OmrChecker };

// The template as the documented JSON (docs/omr-template.md): version 1, or 2 when it has
// optional questions (their crops are named after the item chosen).
std::string OmrTemplateJson(const OmrTemplate& t);

// One OMRChecker template.json per page, in pixels of a page image at dpi.
std::vector<std::string> OmrCheckerJson(const OmrTemplate& t, int dpi);

// Whether any bubble of the template lies on page (1-based).
bool PageHasBubbles(const OmrTemplate& t, int page);

// Writes the template to path, atomically. The OMRChecker format writes one file per page that
// has bubbles (OMRChecker cannot read a template without fields): path without ".json", then
// "-1.json", "-2.json", ... Returns the files written.
std::vector<std::string> WriteOmrTemplate(const OmrTemplate& t, const std::string& path,
                                          OmrFormat format, int dpi);

}  // namespace varelo::layout
