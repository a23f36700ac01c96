#include "scan/results_table.h"

#include "base/printable.h"

namespace varelo::read {

namespace {

bool TwoPageSheets(const layout::OmrTemplate& t) {
    for (size_t p = 2; p <= t.pages.size(); ++p)
        if (layout::PageHasBubbles(t, static_cast<int>(p))) return true;
    for (const layout::OmrRegion& r : t.regions)
        if (r.rect.page > 1) return true;
    return false;
}

// The written items in the order of the sheet, each once (a composition over two columns is
// one item).
std::vector<int> WrittenItems(const layout::OmrTemplate& t) {
    std::vector<int> out;
    for (const layout::OmrRegion& r : t.regions)
        if (out.empty() || out.back() != r.item) out.push_back(r.item);
    return out;
}

// Whether the row is a sheet read off its bubbles, not a page 2 or a scan that failed.
bool ReadSheet(const layout::OmrTemplate& t, const SheetResult& s) {
    return (s.status == SheetStatus::Ok || s.status == SheetStatus::Review) &&
           s.answers.size() == t.items.size();
}

// A text cell: shown as text (a scan named "=1+2.png" is no formula), quoted when it must be.
std::string CsvField(const std::string& text) {
    const std::string s = host::SpreadsheetText(text);
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (const char ch : s) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

}  // namespace

std::string StatusWord(SheetStatus s, Headers headers) {
    if (headers == Headers::English) return StatusName(s);
    switch (s) {
        case SheetStatus::Ok:
            return "正常";
        case SheetStatus::Review:
            return "复核";
        case SheetStatus::Page2:
            return "第2页";
        case SheetStatus::Absent:
            return "缺考";
        case SheetStatus::Error:
            break;
    }
    return "错误";
}

ResultsTable MakeResultsTable(const layout::OmrTemplate& t, const std::vector<ScanReading>& scans,
                              const std::vector<SheetResult>& sheets, const ResultsOptions& o) {
    const bool zh = o.headers == Headers::Chinese;
    const bool twoPageSheets = TwoPageSheets(t);
    const std::vector<int> written = o.withWritten ? WrittenItems(t) : std::vector<int>();
    ResultsTable out;
    std::vector<std::string>& h = out.header;
    h.push_back(zh ? "扫描" : "scan");
    if (twoPageSheets) h.push_back(zh ? "扫描2" : "scan2");
    h.push_back(zh ? "状态" : "status");
    out.candidateColumn = h.size();
    h.push_back(zh ? "考号" : "candidate");
    if (o.roster) {
        h.push_back(zh ? "姓名" : "name");
        if (o.rosterHasClass) h.push_back(zh ? "班级" : "class");
    }
    // Columns of marks only for a template that has them, so other results keep their columns.
    if (!t.paperTypes.empty()) h.push_back(zh ? "试卷类型" : "paper");
    for (const layout::OmrChoice& c : t.choices)
        h.push_back((zh ? "选做" : "choice") + std::to_string(c.section));
    for (const layout::OmrItem& item : t.items) h.push_back(std::to_string(item.number));
    if (o.withKey) {
        if (zh) {
            for (const layout::OmrItem& item : t.items)
                h.push_back(std::to_string(item.number) + "分");
            h.push_back("客观题");
        } else {
            for (size_t g = 0; g < t.groups.size(); ++g)
                h.push_back("group" + std::to_string(g + 1));
        }
    }
    for (const int item : written)
        h.push_back(zh ? std::to_string(item) + "分" : "score" + std::to_string(item));
    if (o.withWritten) h.push_back(zh ? "主观题" : "written");
    if (o.withKey || o.withWritten) h.push_back(zh ? "总分" : "total");
    h.push_back(zh ? "原因" : "reason");

    for (const SheetResult& s : sheets) {
        std::vector<ResultCell> row;
        const auto text = [&](std::string v) { row.push_back({std::move(v), std::nullopt}); };
        const bool scored = ReadSheet(t, s);
        const auto score = [&](std::optional<host::Score> v) {
            row.push_back(scored && v ? ResultCell{v->Text(), v} : ResultCell{});
        };
        text(scans[s.scan].name);
        if (twoPageSheets) text(s.scan2 ? scans[*s.scan2].name : "");
        text(StatusWord(s.status, o.headers));
        text(s.candidate);
        if (o.roster) {
            const auto student = o.roster->find(s.candidate);
            const bool known = !s.candidate.empty() && student != o.roster->end();
            text(known ? student->second.name : "");
            if (o.rosterHasClass) text(known ? student->second.className : "");
        }
        if (!t.paperTypes.empty()) text(s.paper);
        for (size_t c = 0; c < t.choices.size(); ++c)
            text(c < s.choices.size() && s.choices[c] ? std::to_string(s.choices[c]) : "");
        for (size_t i = 0; i < t.items.size(); ++i) text(i < s.answers.size() ? s.answers[i] : "");
        if (o.withKey) {
            if (zh) {
                host::Score objective;
                for (size_t i = 0; i < t.items.size(); ++i) {
                    const auto v = i < s.itemScores.size() ? s.itemScores[i] : std::nullopt;
                    score(v);
                    if (v) objective += *v;
                }
                score(objective);
            } else {
                for (size_t g = 0; g < t.groups.size(); ++g)
                    score(g < s.groupScores.size() ? std::optional(s.groupScores[g])
                                                   : std::nullopt);
            }
        }
        for (const int item : written) {
            const auto v = s.writtenScores.find(item);
            score(v != s.writtenScores.end() ? std::optional(v->second) : std::nullopt);
        }
        if (o.withWritten) score(s.written);
        if (o.withKey || o.withWritten) score(s.total);
        if (zh) {
            std::string reasons;
            for (const Reason& why : s.reasons) reasons += (reasons.empty() ? "" : "；") + why.zh;
            text(reasons);
        } else {
            text(s.reason);
        }
        out.rows.push_back(std::move(row));
        out.status.push_back(s.status);
    }
    return out;
}

std::string ResultsCsv(const ResultsTable& table) {
    std::string out = "\xEF\xBB\xBF";  // so spreadsheet programs on Chinese systems read UTF-8
    for (size_t c = 0; c < table.header.size(); ++c)
        out += (c ? "," : "") + CsvField(table.header[c]);
    out += "\r\n";
    for (const std::vector<ResultCell>& row : table.rows) {
        for (size_t c = 0; c < row.size(); ++c) out += (c ? "," : "") + CsvField(row[c].text);
        out += "\r\n";
    }
    return out;
}

}  // namespace varelo::read
