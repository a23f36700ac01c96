#include "compose/notes_text.h"

namespace varelo::layout {

std::string BuildNotesText() {
    static constexpr const char* kNotes[] = {
        "1.答题前，考生先将自己的姓名、准考证号填写清楚，并填涂相应的考号信息点。",
        "2."
        "选择题必须使用2B铅笔填涂；解答题必须使用黑色墨水的签字笔书写，不得用铅笔或圆珠笔作解答题："
        "字体工整、笔迹清楚。",
        "3."
        "请按照题号顺序在各题目的答题区域内作答，超出答题区域书写的答题无效；在草稿纸、试题卷上答题"
        "无效。",
        "4.保持卡面清洁，不要折叠、不要弄破。",
    };
    std::string text;
    for (const char* note : kNotes) {
        if (!text.empty()) text += "\r\n";
        text += note;
    }
    return text;
}

void InsertLines(host::Cell& cell, std::string_view text) {
    for (size_t i = 0; i <= text.size();) {
        const size_t end = text.find_first_of("\r\n", i);
        cell.InsertAfter(std::string(text.substr(i, end - i)));
        if (end == std::string_view::npos) break;
        cell.InsertParagraphAfter();
        i = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

}  // namespace varelo::layout
