#include "exam/exam.h"

namespace varelo::exam {

namespace {

constexpr std::array<const char*, kLayoutCount> kLayoutNames = {"A3三栏",  "A3双栏", "8开三栏",
                                                                "8开双栏", "A4单栏", "B5单栏"};

}  // namespace

const char* LayoutName(Layout layout) {
    return kLayoutNames[Index(layout)];
}

std::optional<Layout> ParseLayout(std::string_view name) {
    for (const Layout layout : kLayouts)
        if (name == LayoutName(layout)) return layout;
    return std::nullopt;
}

const char* OptionLabelsName(OptionLabels labels) {
    switch (labels) {
        case OptionLabels::Digits:
            return "数字";
        case OptionLabels::TrueFalse:
            return "判断";
        case OptionLabels::Letters:
            break;
    }
    return "字母";
}

OptionLabels ParseOptionLabels(std::string_view text) {
    if (text == "数字") return OptionLabels::Digits;
    if (text == "判断") return OptionLabels::TrueFalse;
    return OptionLabels::Letters;
}

const char* SectionKindName(SectionKind kind) {
    switch (kind) {
        case SectionKind::Answer:
            return "解答";
        case SectionKind::Essay:
            return "作文";
        case SectionKind::Fill:
            break;
    }
    return "填空";
}

const char* PageCodeChoiceName(PageCodeChoice choice) {
    switch (choice) {
        case PageCodeChoice::On:
            return "on";
        case PageCodeChoice::Off:
            return "off";
        case PageCodeChoice::ByContent:
            break;
    }
    return "";
}

ExamDraft DraftOf(const Exam& exam) {
    ExamDraft d{LayoutName(exam.layout), exam.title, exam.subtitle, exam.setter,
                exam.digits.text,        {},         exam.sections, exam.marks,
                exam.pageCode,           exam.examId};
    for (const ObjectiveGroup& g : exam.groups)
        d.groups.push_back({g.number, g.name, g.items.text, g.options.text,
                            OptionLabelsName(g.labels), g.points.text});
    return d;
}

}  // namespace varelo::exam
