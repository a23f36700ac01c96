#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One typed description of an exam: what a sheet is made from, and what reading, scoring and
// reports go by. Made valid once (settings/exam_validation.h); everything after takes it as it
// is. Where the sheet prints, or its settings part records, a number as the teacher typed it
// ("30.0" items, "1.50" points), the text is kept beside the value.
namespace varelo::exam {

// The six paper layouts. The value is the layout code the per-layout tables are indexed by.
enum class Layout : int16_t { A3Three = 1, A3Two, EightKaiThree, EightKaiTwo, A4One, B5One };

inline constexpr int kLayoutCount = 6;
inline constexpr std::array<Layout, kLayoutCount> kLayouts = {
    Layout::A3Three,     Layout::A3Two, Layout::EightKaiThree,
    Layout::EightKaiTwo, Layout::A4One, Layout::B5One};

// "A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏".
const char* LayoutName(Layout layout);
// The layout a name names exactly; empty for any other text.
std::optional<Layout> ParseLayout(std::string_view name);

// The layout code, 1..6, for the tables indexed by it.
constexpr int16_t Code(Layout layout) {
    return static_cast<int16_t>(layout);
}
// Index 0..5 into a table of the six layouts.
constexpr size_t Index(Layout layout) {
    return static_cast<size_t>(layout) - 1;
}

// How a group's options are labelled: A, B, ... (字母); 1, 2, ... (数字); √ and × (判断).
enum class OptionLabels { Letters, Digits, TrueFalse };

// "字母", "数字", "判断".
const char* OptionLabelsName(OptionLabels labels);
// Any text but "数字" and "判断" reads as letters, as the list has always read it.
OptionLabels ParseOptionLabels(std::string_view text);

// A whole number as typed, and its value.
struct Count {
    int value = 0;
    std::string text;
};

// A number of points as typed, and its value.
struct Points {
    double value = 0;
    std::string text;
};

// One group of objective (multiple-choice) items, all alike.
struct ObjectiveGroup {
    std::string number;  // the group's number as the list holds it ("1", "3" after a deletion)
    std::string name;
    Count items;
    Count options;  // per item
    OptionLabels labels = OptionLabels::Letters;
    Points points;  // per item
};

// A written-answer section after the objective groups.
enum class SectionKind { Fill, Answer, Essay };  // "填空", "解答", "作文"

struct WrittenSection {
    SectionKind kind = SectionKind::Fill;
    std::string name;   // heading text after the numeral, e.g. "填空题"
    int items = 1;      // fill-in and answer sections; a composition is one item
    int blanks = 1;     // fill-in: answer spaces per item
    int rows = 1;       // answer: page-grid rows per item's box
    int chars = 0;      // composition: at least this many squares
    double points = 0;  // per blank (fill-in), per item (answer), in all (composition)
};

// "填空", "解答", "作文".
const char* SectionKindName(SectionKind kind);

// The marks a sheet may carry for the reader beside the answers; a sheet without them prints
// and records nothing of them.
struct SheetMarks {
    bool absent = false;     // 缺考: a bubble the invigilator fills for an absent candidate
    std::string paperTypes;  // one bubble per version of the paper ("AB"); empty: one version
    friend bool operator==(const SheetMarks&, const SheetMarks&) = default;
};

// Whether the sheet prints a page code (codes/page_code.h) on each page: as its content asks
// (when page 2 has something to read, so scanned pages pair whatever their order), or as the
// teacher chose.
enum class PageCodeChoice { ByContent, On, Off };

// "", "on", "off": as the settings part and job files spell the choice.
const char* PageCodeChoiceName(PageCodeChoice choice);

struct Exam {
    Layout layout = Layout::A3Three;
    std::string title, subtitle, setter;
    Count digits;  // of the candidate number
    std::vector<ObjectiveGroup> groups;
    std::vector<WrittenSection> sections;  // laid out after the groups, in order
    SheetMarks marks;
    PageCodeChoice pageCode = PageCodeChoice::ByContent;
    // 16 lower-case hex digits naming the exam in its page codes; kept by every sheet remade
    // from this one, so printed copies stay readable. Recorded only where codes are printed.
    std::string examId;
};

// An exam as typed, before it is checked: every field a text, as the settings dialog, a job
// file or a sheet's settings part give it.
struct GroupDraft {
    std::string number, name, items, options, labels, points;
    friend bool operator==(const GroupDraft&, const GroupDraft&) = default;
};

struct ExamDraft {
    std::string layout, title, subtitle, setter, digits;
    std::vector<GroupDraft> groups;
    std::vector<WrittenSection> sections;
    SheetMarks marks;
    PageCodeChoice pageCode = PageCodeChoice::ByContent;
    std::string examId;  // empty: a fresh one where the sheet prints codes
};

// The draft that gives this exam back: the settings part records an exam as its draft.
ExamDraft DraftOf(const Exam& exam);

}  // namespace varelo::exam
