#pragma once

#include <string>

// What the settings dialog shows when it opens. Every way of making an exam (the command line,
// a job file, a sheet's settings part that leaves a field out) starts from the same texts.
namespace varelo::exam {

inline constexpr const char* kDialogLayout = "8开三栏";
inline constexpr const char* kDefaultTitle = "中考试卷";
inline constexpr const char* kDefaultSubtitle = "英语";
inline constexpr const char* kDefaultSetter = "王老师";
inline constexpr const char* kDefaultDigits = "9";

// The dialog's entry fields: the group being typed. It travels beside the exam into the
// sheet's settings part, so the dialog reopened on a sheet shows it again.
struct GroupEntry {
    std::string name = "选择题";
    std::string items = "30";
    std::string points = "1";
    bool fixedOptions = false;  // the option count unlocked
    std::string options = "4";
    int labels = 0;  // the option button: 0 "字母", 1 "数字", 2 "判断"
};

}  // namespace varelo::exam
