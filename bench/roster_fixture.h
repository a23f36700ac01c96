#pragma once

// A school's roster of `rows` students as a teacher keeps it: CSV (UTF-8, or GB18030 as Excel
// saves it on Chinese Windows) and an .xlsx with the names in shared strings, as Excel writes.
#include <iconv.h>

#include <cstdio>
#include <memory>
#include <string>

#include "../tests/xlsx_writer.h"

namespace varelo::bench {

struct RosterStudent {
    std::string number, name, className, room, seat;
};

inline RosterStudent NthStudent(int i) {
    static const char* const kFamily[] = {"张", "王", "李", "赵", "欧阳", "𠮷", "阿依古丽·"};
    static const char* const kGiven[] = {"伟", "芳", "小明", "子涵", "买买提", "浩 然"};
    char number[16];
    std::snprintf(number, sizeof number, "%010d", 12340000 + i);
    return {number, std::string(kFamily[i % 7]) + kGiven[(i / 7) % 6],
            "高一(" + std::to_string(i % 30 + 1) + ")班",
            "第" + std::to_string(i / 30 + 1) + "考场", std::to_string(i % 30 + 1)};
}

inline std::string RosterCsv(int rows) {
    std::string csv = "考号,姓名,班级,考场,座位号,备注\r\n";
    for (int i = 0; i < rows; ++i) {
        const RosterStudent s = NthStudent(i);
        csv += s.number + "," + s.name + "," + s.className + "," + s.room + "," + s.seat + ",\r\n";
    }
    return csv;
}

inline std::string Gb18030Of(const std::string& utf8) {
    const iconv_t cd = iconv_open("GB18030", "UTF-8");
    const std::unique_ptr<void, int (*)(iconv_t)> close(cd, iconv_close);
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* to = out.data();
    iconv(cd, &in, &inLeft, &to, &outLeft);
    out.resize(out.size() - outLeft);
    return out;
}

inline std::string RosterXlsx(int rows) {
    std::string sheet, shared;
    int strings = 0;
    const auto text = [&](const std::string& ref, const std::string& value) {
        shared += "<si><t xml:space=\"preserve\">" + value + "</t></si>";
        return "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(strings++) + "</v></c>";
    };
    sheet += "<row r=\"1\">" + text("A1", "考号") + text("B1", "姓名") + text("C1", "班级") +
             text("D1", "考场") + text("E1", "座位号") + "</row>";
    for (int i = 0; i < rows; ++i) {
        const RosterStudent s = NthStudent(i);
        const std::string r = std::to_string(i + 2);
        sheet += "<row r=\"" + r + "\">" + text("A" + r, s.number) + text("B" + r, s.name) +
                 text("C" + r, s.className) + text("D" + r, s.room) + "<c r=\"E" + r + "\"><v>" +
                 s.seat + "</v></c></row>";
    }
    return testing::ZipBytes(testing::Workbook(sheet, shared));
}

}  // namespace varelo::bench
