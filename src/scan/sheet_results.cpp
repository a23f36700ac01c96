#include "scan/sheet_results.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

#include "scan/results_table.h"

namespace varelo::read {

namespace {

// Whether any bubble lies beyond page 1, so page-2 scans belong to sheets.
// A sheet is read from two scans when page 2 holds bubbles or written answers: either belongs
// to the candidate whose number page 1 shows.
bool TwoPageSheets(const layout::OmrTemplate& t) {
    for (size_t p = 2; p <= t.pages.size(); ++p)
        if (layout::PageHasBubbles(t, static_cast<int>(p))) return true;
    for (const layout::OmrRegion& r : t.regions)
        if (r.rect.page > 1) return true;
    return false;
}

void Merge(BubbleReadings& into, const BubbleReadings& from) {
    const auto merge = [](auto& a, const auto& b) {
        for (size_t i = 0; i < a.size(); ++i)
            for (size_t j = 0; j < a[i].size(); ++j)
                if (b[i][j].read) a[i][j] = b[i][j];
    };
    merge(into.candidate, from.candidate);
    merge(into.items, from.items);
    merge(into.marks, from.marks);
}

void Note(std::vector<Reason>& reasons, Reason why) {
    reasons.push_back(std::move(why));
}

void Note(SheetResult& sheet, std::string code, std::string text, std::string zh) {
    AddReason(sheet, {std::move(code), std::move(text), std::move(zh)});
}

// The candidate number, answers and status of one sheet from its bubbles. Returns whether
// some bubbles were not read, being on a page that was not scanned.
bool ReadOff(const layout::OmrTemplate& t, const BubbleReadings& r, const AnswerKey* key,
             const std::string& codeCandidate, SheetResult& sheet) {
    bool unread = false, anyFilled = false;
    std::vector<std::string> doubtful, doubtfulZh;
    for (size_t c = 0; c < r.candidate.size(); ++c) {
        std::string filled;
        for (size_t d = 0; d < r.candidate[c].size(); ++d) {
            const BubbleReading& b = r.candidate[c][d];
            unread = unread || !b.read;
            if (b.decision == Decision::Filled) filled += t.candidateColumns[c][d].value;
            if (b.read && b.decision == Decision::Doubtful) {
                doubtful.push_back("digit " + t.candidateColumns[c][d].value + " of column " +
                                   std::to_string(c + 1));
                doubtfulZh.push_back("考号第" + std::to_string(c + 1) + "列的" +
                                     t.candidateColumns[c][d].value);
            }
        }
        anyFilled = anyFilled || !filled.empty();
        sheet.candidate += filled.size() == 1 ? filled : "?";
    }
    // A personalised sheet's code names its candidate; the bubbles, when filled at all, must
    // agree.
    std::string disagreement, disagreementZh;
    if (!codeCandidate.empty()) {
        if (anyFilled && sheet.candidate != codeCandidate) {
            disagreement = "the page code says candidate " + codeCandidate + ", the bubbles " +
                           sheet.candidate;
            disagreementZh = "页码二维码的考号为" + codeCandidate + "，填涂为" + sheet.candidate;
        }
        sheet.candidate = codeCandidate;
    }
    sheet.groupScores.assign(key ? t.groups.size() : 0, host::Score());
    sheet.itemScores.assign(key ? t.items.size() : 0, std::nullopt);
    for (size_t i = 0; i < r.items.size(); ++i) {
        const layout::OmrItem& item = t.items[i];
        std::string filled;
        std::vector<bool> filledOptions(r.items[i].size(), false);
        for (size_t o = 0; o < r.items[i].size(); ++o) {
            const BubbleReading& b = r.items[i][o];
            unread = unread || !b.read;
            filledOptions[o] = b.decision == Decision::Filled;
            if (b.decision == Decision::Filled) filled += item.options[o].value;
            if (b.read && b.decision == Decision::Doubtful) {
                doubtful.push_back(item.options[o].value + " of item " +
                                   std::to_string(item.number));
                doubtfulZh.push_back("第" + std::to_string(item.number) + "题" +
                                     item.options[o].value);
            }
        }
        sheet.answers.push_back(filled);
        if (key) {
            const auto k = key->find(item.number);
            if (k != key->end()) {
                const host::Score score = ItemScore(k->second, filledOptions);
                sheet.itemScores[i] = score;
                sheet.groupScores[static_cast<size_t>(item.group - 1)] += score;
                sheet.total += score;
            }
        }
    }
    // The marks, in layout::MarkFields order: 缺考, the paper types, the optional questions.
    const std::vector<const std::vector<layout::OmrBubble>*> fields = layout::MarkFields(t);
    std::vector<std::string> marks(fields.size());
    std::vector<int> counts(fields.size());
    for (size_t m = 0; m < fields.size(); ++m)
        for (size_t b = 0; b < fields[m]->size(); ++b) {
            const BubbleReading& reading = r.marks[m][b];
            const std::string& value = (*fields[m])[b].value;
            unread = unread || !reading.read;
            if (reading.decision == Decision::Filled) {
                marks[m] += (marks[m].empty() || m < 2 ? "" : ",") + value;
                ++counts[m];
            }
            if (reading.read && reading.decision == Decision::Doubtful) {
                doubtful.push_back(m == 0   ? value
                                   : m == 1 ? "paper type " + value
                                            : "choice " + value);
                doubtfulZh.push_back(m == 0 ? value : (m == 1 ? "试卷类型" : "选做") + value);
            }
        }
    sheet.paper = t.paperTypes.empty() ? "" : marks[1];
    for (size_t c = 0; c < t.choices.size(); ++c)
        sheet.choices.push_back(counts[2 + c] == 1 ? std::stoi(marks[2 + c]) : 0);

    sheet.status = SheetStatus::Ok;
    // Whatever the candidate marked: answers, a paper type, an optional question chosen.
    const bool absent = counts[0] > 0;
    const bool marked = std::any_of(sheet.answers.begin(), sheet.answers.end(),
                                    [](const std::string& a) { return !a.empty(); }) ||
                        std::any_of(counts.begin() + 1, counts.end(), [](int n) { return n > 0; });
    // An absent candidate fills no paper type and marks no optional question.
    if (!absent && !t.paperTypes.empty() && counts[1] != 1) {
        sheet.status = SheetStatus::Review;
        if (counts[1] == 0)
            Note(sheet, "paperTypeMissing", "no paper type filled", "未涂试卷类型");
        else
            Note(sheet, "paperTypesSeveral", "several paper types filled: " + marks[1],
                 "试卷类型涂了多个：" + marks[1]);
    }
    for (size_t c = 0; !absent && c < t.choices.size(); ++c)
        if (counts[2 + c] != 1) {
            sheet.status = SheetStatus::Review;
            if (counts[2 + c] == 0)
                Note(sheet, "choiceMissing", "no optional question marked as answered",
                     "选做题未涂");
            else
                Note(sheet, "choicesSeveral",
                     "several optional questions marked as answered: " + marks[2 + c],
                     "选做题涂了多个：" + marks[2 + c]);
        }
    if (!disagreement.empty()) {
        sheet.status = SheetStatus::Review;
        Note(sheet, "codeDisagrees", disagreement, disagreementZh);
    } else if (sheet.candidate.find('?') != std::string::npos) {
        sheet.status = SheetStatus::Review;
        Note(sheet, "candidateUnread", "a candidate-number column has no or several digits filled",
             "考号有列未涂或多涂");
    }
    if (!doubtful.empty()) {
        sheet.status = SheetStatus::Review;
        std::string list, listZh;
        for (size_t i = 0; i < doubtful.size() && i < 5; ++i) {
            list += (i ? ", " : "") + doubtful[i];
            listZh += (i ? "、" : "") + doubtfulZh[i];
        }
        if (doubtful.size() > 5) list += ", ...", listZh += "……";
        Note(sheet, "doubtfulBubbles", "doubtful bubbles: " + list, "填涂不清：" + listZh);
    }
    if (absent && marked) {
        // An invigilator's slip must not drop a candidate who sat the exam.
        sheet.status = SheetStatus::Review;
        Note(sheet, "absentButAnswered", "缺考已涂但有作答", "缺考已涂但有作答");
    } else if (absent && sheet.status == SheetStatus::Ok) {
        sheet.status = SheetStatus::Absent;
    } else if (absent) {
        Note(sheet, "absentMarked", "缺考已涂", "缺考已涂");
    }
    return unread;
}

// What pairing makes of one scan.
struct Pairing {
    std::optional<size_t> partner;  // the other page of its sheet
    std::vector<size_t> maybe;      // the scans it may belong with, when the order does not tell
};

// Pairs page 1s with page 2s by the order of the stack: each sheet's pages follow one another,
// page 1 first as documented, or page 2 first in a stack fed face down. A run of scans that
// alternate between the pages, with an even count, pairs whole in the order its first page
// tells, and any other way would leave a page of it alone: it tells its own order, unless an
// unreadable scan on both sides could be the pages that pair it the other way. A run with an odd
// count leaves a page alone either way, so it takes the order of the stack's other runs when
// they all agree. Otherwise its page 2s are not paired and name the page 1s they may belong to.
// Scans set aside (paired by their codes, or of another exam) stand between runs.
std::vector<Pairing> PairPages(const std::vector<ScanReading>& scans, bool twoPageSheets,
                               const std::vector<char>& setAside) {
    std::vector<Pairing> out(scans.size());
    if (!twoPageSheets) return out;
    const auto page = [&](size_t i) {
        return scans[i].error.empty() && !setAside[i] ? scans[i].registration.page : 0;
    };
    const auto unreadable = [&](size_t i) { return i < scans.size() && !scans[i].error.empty(); };
    struct Run {
        size_t first, end;
        bool decisive;
    };
    std::vector<Run> runs;
    for (size_t i = 0; i < scans.size();) {
        size_t end = i + 1;
        if (page(i) == 1 || page(i) == 2)
            while (end < scans.size() && page(end) == 3 - page(end - 1)) ++end;
        if (end - i >= 2)
            runs.push_back(
                {i, end, (end - i) % 2 == 0 && !(i > 0 && unreadable(i - 1) && unreadable(end))});
        i = end;
    }
    // 1: page 1 first; 2: page 2 first; 0: the stack's runs do not tell, or disagree.
    int stackFirst = -1;
    for (const Run& r : runs)
        if (r.decisive)
            stackFirst = stackFirst == -1 || stackFirst == page(r.first) ? page(r.first) : 0;
    for (const Run& r : runs) {
        const int first = stackFirst == 0 ? 0
                          : r.decisive    ? page(r.first)
                                          : std::max(stackFirst, 0);
        for (size_t i = r.first; i < r.end; ++i) {
            if (page(i) != 2) continue;
            if (first != 0) {
                // The page 1 of a sheet fed face up is before its page 2, face down after it.
                const size_t own = first == 1 ? i - 1 : i + 1;
                if (own >= r.first && own < r.end) out[i].partner = own, out[own].partner = i;
                continue;
            }
            for (const size_t p : {i - 1, i + 1})
                if (p >= r.first && p < r.end) {
                    out[i].maybe.push_back(p);
                    out[p].maybe.push_back(i);
                }
        }
    }
    return out;
}

std::string Names(const std::vector<ScanReading>& scans, const std::vector<size_t>& which) {
    std::string out;
    for (size_t k = 0; k < which.size(); ++k)
        out += (k == 0 ? "" : k + 1 == which.size() ? " or " : ", ") + scans[which[k]].name;
    return out;
}

// "a, b and c".
std::string AllNames(const std::vector<ScanReading>& scans, const std::vector<size_t>& which) {
    std::string out;
    for (size_t k = 0; k < which.size(); ++k)
        out += (k == 0 ? "" : k + 1 == which.size() ? " and " : ", ") + scans[which[k]].name;
    return out;
}

// The same in Chinese: "a、b或c", "a、b和c".
std::string NamesZh(const std::vector<ScanReading>& scans, const std::vector<size_t>& which,
                    const char* last) {
    std::string out;
    for (size_t k = 0; k < which.size(); ++k)
        out += (k == 0 ? "" : k + 1 == which.size() ? last : "、") + scans[which[k]].name;
    return out;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// What a scan's page code does for pairing.
struct CodeUse {
    enum Kind {
        None,     // none sought: the template prints none on the page, or the scan was not read
        Sheet,    // names its sheet by serial or candidate
        Exam,     // names the exam and page only, as a sheet printed from the .docx
        Unread,   // none read, or one that contradicts the page's marks
        Foreign,  // of another exam
    } kind = None;
    std::string key;    // Sheet: "S12" or "C0123", one per printed sheet
    std::string label;  // Sheet: "sheet 12" or "candidate 0123"
    std::string labelZh;
    Reason note;  // Unread, Foreign: what is wrong, for the reason
};

CodeUse UseOfCode(const layout::OmrTemplate& t, const ScanReading& s) {
    CodeUse use;
    if (!s.error.empty() || !s.codeSought) return use;
    if (!s.code) {
        use.kind = CodeUse::Unread;
        use.note = {"pageCodeUnread", "the page code of " + s.name + " could not be read",
                    s.name + "的页码二维码无法读取"};
        return use;
    }
    const codes::PageCode& code = *s.code;
    if (Lower(code.examId) != Lower(t.examId)) {
        use.kind = CodeUse::Foreign;
        use.note = {
            "otherExam",
            "a page of another exam: its code says exam " + Lower(code.examId) +
                ", the template's is " + Lower(t.examId),
            "其他考试的页：二维码的考试为" + Lower(code.examId) + "，模板的为" + Lower(t.examId)};
    } else if (code.page != s.registration.page) {
        use.kind = CodeUse::Unread;
        use.note = {"pageCodeMismatch",
                    "the page code of " + s.name + " says page " + std::to_string(code.page) +
                        ", its marks page " + std::to_string(s.registration.page),
                    s.name + "的页码二维码为第" + std::to_string(code.page) + "页，定位标记为第" +
                        std::to_string(s.registration.page) + "页"};
    } else if (code.serial) {
        use.kind = CodeUse::Sheet;
        use.key = "S" + std::to_string(*code.serial);
        use.label = "sheet " + std::to_string(*code.serial);
        use.labelZh = "第" + std::to_string(*code.serial) + "张";
    } else if (!code.candidate.empty()) {
        use.kind = CodeUse::Sheet;
        use.key = "C" + code.candidate;
        use.label = "candidate " + code.candidate;
        use.labelZh = "考号" + code.candidate;
    } else {
        use.kind = CodeUse::Exam;
    }
    return use;
}

// The candidate a scan's code names, on a personalised sheet.
std::string CodeCandidate(const ScanReading& s, const CodeUse& use) {
    return use.kind == CodeUse::Sheet ? s.code->candidate : std::string();
}

// Two sheets with one candidate number: a sheet scanned twice, or a candidate who filled another's
// number. Either way a person must look, and the reader cannot tell which sheet is wrong.
void MarkSharedCandidateNumbers(const std::vector<ScanReading>& scans,
                                std::vector<SheetResult>& sheets) {
    std::map<std::string, std::vector<SheetResult*>> byCandidate;
    for (SheetResult& s : sheets)
        if ((s.status == SheetStatus::Ok || s.status == SheetStatus::Review ||
             s.status == SheetStatus::Absent) &&
            !s.candidate.empty() && s.candidate.find('?') == std::string::npos)
            byCandidate[s.candidate].push_back(&s);
    for (const auto& [candidate, shared] : byCandidate) {
        if (shared.size() < 2) continue;
        for (SheetResult* s : shared) {
            std::string others, othersZh;
            for (const SheetResult* o : shared)
                if (o != s) {
                    others += (others.empty() ? "" : ", ") + scans[o->scan].name;
                    othersZh += (othersZh.empty() ? "" : "、") + scans[o->scan].name;
                }
            s->status = SheetStatus::Review;
            Note(*s, "sharedCandidate", "the same candidate number as " + others,
                 "考号与" + othersZh + "相同");
        }
    }
}

// Whether the row is a sheet read off its bubbles, not a page 2 or a scan that failed.
bool ReadSheet(const layout::OmrTemplate& t, const SheetResult& s) {
    return (s.status == SheetStatus::Ok || s.status == SheetStatus::Review) &&
           s.answers.size() == t.items.size();
}

nlohmann::ordered_json Point(const cv::Point2d& p) {
    return {{"x", std::round(p.x * 100) / 100}, {"y", std::round(p.y * 100) / 100}};
}

// A score as the JSON number whose shortest form is the CSV's decimal (0.3, never
// 0.30000000000000004); a whole score stays a float (3.0), as every score is one.
nlohmann::ordered_json Score(host::Score v) {
    return nlohmann::ordered_json(v.ToDouble());
}

double Round3(double v) {
    return std::round(v * 1000) / 1000;
}

nlohmann::ordered_json BubbleJson(const BubbleReading& b) {
    return {{"x", std::round(b.centre.x * 10) / 10},
            {"y", std::round(b.centre.y * 10) / 10},
            {"darkness", Round3(b.darkness)},
            {"decision", DecisionName(b.decision)},
            {"confidence", Round3(b.confidence)}};
}

}  // namespace

void AddReason(SheetResult& sheet, Reason why) {
    if (!sheet.reason.empty()) sheet.reason += "; ";
    sheet.reason += why.text;
    sheet.reasons.push_back(std::move(why));
}

void MarkNotInRoster(const layout::OmrTemplate& t, const std::vector<std::string>& roster,
                     std::vector<SheetResult>& sheets) {
    for (SheetResult& s : sheets) {
        if (!(ReadSheet(t, s) || s.status == SheetStatus::Absent) ||
            s.candidate.find('?') != std::string::npos ||
            std::find(roster.begin(), roster.end(), s.candidate) != roster.end())
            continue;
        s.status = SheetStatus::Review;
        Note(s, "notInRoster", "the candidate number is not in the roster", "考号不在名单中");
    }
}

const char* StatusName(SheetStatus s) {
    switch (s) {
        case SheetStatus::Ok:
            return "ok";
        case SheetStatus::Review:
            return "review";
        case SheetStatus::Page2:
            return "page2";
        case SheetStatus::Absent:
            return "absent";
        case SheetStatus::Error:
            break;
    }
    return "error";
}

bool OfAnotherExam(const layout::OmrTemplate& t, const ScanReading& scan) {
    return UseOfCode(t, scan).kind == CodeUse::Foreign;
}

std::vector<SheetResult> AssembleSheets(const layout::OmrTemplate& t,
                                        const std::vector<ScanReading>& scans,
                                        const AnswerKey* key) {
    const bool twoPageSheets = TwoPageSheets(t);
    std::vector<CodeUse> uses;
    for (const ScanReading& s : scans) uses.push_back(UseOfCode(t, s));
    // Per scan, what its sheet's row must say of it.
    std::vector<std::vector<Reason>> notes(scans.size());
    // Scans the order of the stack has no say in: paired by their codes, or of another exam.
    std::vector<char> setAside(scans.size(), 0);
    std::vector<Pairing> pairing(scans.size());

    // Pages whose codes name their sheet pair by it, wherever they are in the stack.
    std::map<std::string, std::map<int, std::vector<size_t>>> byCode;
    for (size_t i = 0; i < scans.size(); ++i) {
        if (uses[i].kind == CodeUse::Foreign) setAside[i] = 1;
        if (uses[i].kind == CodeUse::Sheet)
            byCode[uses[i].key][scans[i].registration.page].push_back(i);
    }
    for (const auto& [code, pages] : byCode) {
        for (const auto& [page, list] : pages) {
            if (list.size() < 2 || (page != 1 && !twoPageSheets)) continue;
            for (const size_t i : list)
                Note(notes[i],
                     {"scannedTwice",
                      "page " + std::to_string(page) + " of " + uses[i].label + " scanned " +
                          (list.size() == 2 ? "twice" : std::to_string(list.size()) + " times") +
                          ": " + AllNames(scans, list),
                      uses[i].labelZh + "的第" + std::to_string(page) + "页扫描了" +
                          std::to_string(list.size()) + "次：" + NamesZh(scans, list, "和")});
        }
        const auto ones = pages.find(1), twos = pages.find(2);
        // A sheet with one page coded pairs by the order, with a page whose code was not read.
        if (!twoPageSheets || ones == pages.end() || twos == pages.end()) continue;
        for (size_t k = 0; k < ones->second.size() && k < twos->second.size(); ++k) {
            pairing[ones->second[k]].partner = twos->second[k];
            pairing[twos->second[k]].partner = ones->second[k];
        }
        for (const auto* list : {&ones->second, &twos->second})
            for (const size_t i : *list) setAside[i] = 1;
    }
    // The others by the order, except two pages whose codes name different sheets.
    const std::vector<Pairing> byOrder = PairPages(scans, twoPageSheets, setAside);
    const auto canPair = [&](size_t a, size_t b) {
        return uses[a].kind != CodeUse::Sheet || uses[b].kind != CodeUse::Sheet;
    };
    for (size_t i = 0; i < scans.size(); ++i) {
        if (setAside[i]) continue;
        if (byOrder[i].partner && canPair(i, *byOrder[i].partner))
            pairing[i].partner = byOrder[i].partner;
        for (const size_t m : byOrder[i].maybe)
            if (canPair(i, m)) pairing[i].maybe.push_back(m);
    }
    for (size_t i = 0; i < scans.size(); ++i)
        if (uses[i].kind == CodeUse::Unread)
            Note(notes[i],
                 {uses[i].note.code,
                  uses[i].note.text +
                      (twoPageSheets ? ", so its page was paired by the order of the scans" : ""),
                  uses[i].note.zh + (twoPageSheets ? "，按扫描顺序配对" : "")});

    const bool coded = !t.pageCodes.empty();
    std::vector<SheetResult> out;
    for (size_t i = 0; i < scans.size(); ++i) {
        const ScanReading& s = scans[i];
        const Pairing& p = pairing[i];
        const CodeUse& use = uses[i];
        if (s.error.empty() && use.kind != CodeUse::Foreign && s.registration.page != 1 &&
            p.partner)
            continue;  // in its sheet
        SheetResult sheet;
        sheet.scan = i;
        if (!s.error.empty()) {
            Note(sheet, "unreadable", s.error, "无法读取：" + s.error);
        } else if (use.kind == CodeUse::Foreign) {
            AddReason(sheet, use.note);
        } else if (s.registration.page != 1) {
            sheet.status = SheetStatus::Page2;
            // A personalised page says whose it is even alone.
            sheet.candidate = CodeCandidate(s, use);
            if (!p.maybe.empty()) {
                sheet.status = SheetStatus::Review;
                Note(
                    sheet, "pairingUnclear",
                    "page 2 of " + Names(scans, p.maybe) + ": the order of the scans does not tell",
                    NamesZh(scans, p.maybe, "或") + "的第2页：扫描顺序无法判断");
            } else if (twoPageSheets && use.kind == CodeUse::Sheet) {
                // Alone although coded: its page 1 is missing, or doubled pages note it.
                sheet.status = SheetStatus::Review;
                if (!setAside[i])
                    Note(sheet, "page1Missing", "page 1 of " + use.label + " missing",
                         use.labelZh + "的第1页缺失");
            } else if (twoPageSheets) {
                // With codes printed, a page 2 alone is a sheet's page to look for.
                if (coded) sheet.status = SheetStatus::Review;
                Note(sheet, "page1Missing", "no scan of page 1 next to it", "旁边没有第1页的扫描");
            }
        } else {
            sheet.scan2 = p.partner;
            BubbleReadings readings = s.bubbles;
            if (p.partner) Merge(readings, scans[*p.partner].bubbles);
            std::string codeCandidate = CodeCandidate(s, use);
            if (codeCandidate.empty() && p.partner)
                codeCandidate = CodeCandidate(scans[*p.partner], uses[*p.partner]);
            const bool unread = ReadOff(t, readings, key, codeCandidate, sheet);
            if (twoPageSheets && !p.partner) {
                if (!setAside[i]) {
                    const bool labelled = use.kind == CodeUse::Sheet;
                    const std::string missing = labelled ? "page 2 of " + use.label + " missing"
                                                         : std::string("page 2 missing");
                    const std::string missingZh =
                        (labelled ? use.labelZh + "的" : "") + "第2页缺失";
                    sheet.status = SheetStatus::Review;
                    if (p.maybe.empty())
                        Note(sheet, "page2Missing", missing, missingZh);
                    else
                        Note(sheet, "pairingUnclear",
                             missing + ", or it is " + Names(scans, p.maybe) +
                                 ": the order of the scans does not tell",
                             missingZh + "，或为" + NamesZh(scans, p.maybe, "或") +
                                 "：扫描顺序无法判断");
                }
            } else if (unread) {
                sheet.status = SheetStatus::Review;
                Note(sheet, "bubblesUnread",
                     "some bubbles are on no page scanned, so they are unread",
                     "有填涂点所在的页未扫描，未能读取");
            }
        }
        for (const std::optional<size_t> scan : {std::optional<size_t>(i), sheet.scan2}) {
            if (!scan) continue;
            if (!scans[*scan].registration.doubt.empty()) {
                sheet.status = SheetStatus::Review;
                Note(sheet, "pageInDoubt",
                     scans[*scan].name + ": " + scans[*scan].registration.doubt,
                     scans[*scan].name + "：页面存疑（" + scans[*scan].registration.doubt + "）");
            }
            // Codes matter to a page 2 only when it belongs to a sheet.
            if (!notes[*scan].empty() && sheet.status != SheetStatus::Page2 &&
                sheet.status != SheetStatus::Error) {
                sheet.status = SheetStatus::Review;
                for (const Reason& why : notes[*scan]) AddReason(sheet, why);
            }
        }
        out.push_back(std::move(sheet));
    }
    MarkSharedCandidateNumbers(scans, out);
    return out;
}

std::string ResultsCsv(const layout::OmrTemplate& t, const std::vector<ScanReading>& scans,
                       const std::vector<SheetResult>& sheets, bool withKey) {
    return ResultsCsv(
        MakeResultsTable(t, scans, sheets, {.headers = Headers::English, .withKey = withKey}));
}

std::string ResultsJson(const layout::OmrTemplate& t, const std::vector<ScanReading>& scans,
                        const std::vector<SheetResult>& sheets, bool withWritten) {
    using Json = nlohmann::ordered_json;
    Json scanList = Json::array();
    for (const ScanReading& s : scans) {
        Json j{{"scan", s.name}};
        if (!s.error.empty()) {
            j["error"] = s.error;
            scanList.push_back(j);
            continue;
        }
        const Registration& r = s.registration;
        j["page"] = r.page;
        j["upsideDown"] = r.upsideDown;
        j["paperLevel"] = r.paper;
        j["transform"] =
            Json{{"from", "template mm"},
                 {"to", "scan px"},
                 {"matrix",
                  {{Round3(r.toScan(0, 0)), Round3(r.toScan(0, 1)), Round3(r.toScan(0, 2))},
                   {Round3(r.toScan(1, 0)), Round3(r.toScan(1, 1)), Round3(r.toScan(1, 2))}}}};
        const std::vector<layout::OmrMark>& marks = t.pages[static_cast<size_t>(r.page - 1)].marks;
        Json markList = Json::array();
        for (const FoundMark& m : r.marks)
            markList.push_back(Json{{"mark", m.index + 1},
                                    {"kind", marks[m.index].corner ? "corner" : "row"},
                                    {"found", Point(m.centre)},
                                    {"rowCorrection", Point(m.correction)}});
        j["marksFound"] = markList.size();
        j["marksExpected"] = marks.size();
        j["marks"] = markList;
        Json candidate = Json::array();
        for (size_t c = 0; c < t.candidateColumns.size(); ++c)
            for (size_t d = 0; d < t.candidateColumns[c].size(); ++d)
                if (s.bubbles.candidate[c][d].read) {
                    // The digit the bubble stands for, whatever its place in the column.
                    Json b{{"column", c + 1}, {"digit", std::stoi(t.candidateColumns[c][d].value)}};
                    b.update(BubbleJson(s.bubbles.candidate[c][d]));
                    candidate.push_back(b);
                }
        Json items = Json::array();
        for (size_t i = 0; i < t.items.size(); ++i)
            for (size_t o = 0; o < t.items[i].options.size(); ++o)
                if (s.bubbles.items[i][o].read) {
                    Json b{{"item", t.items[i].number}, {"label", t.items[i].options[o].value}};
                    b.update(BubbleJson(s.bubbles.items[i][o]));
                    items.push_back(b);
                }
        j["candidateBubbles"] = candidate;
        j["itemBubbles"] = items;
        if (s.codeSought) {
            if (s.code) {
                Json code{{"examId", Lower(s.code->examId)}, {"page", s.code->page}};
                if (s.code->serial) code["serial"] = *s.code->serial;
                if (!s.code->candidate.empty()) code["candidate"] = s.code->candidate;
                j["code"] = code;
            } else {
                j["code"] = nullptr;
            }
            if (const CodeUse use = UseOfCode(t, s); !use.note.text.empty())
                j["codeProblem"] = use.note.text;
        }
        const std::vector<const std::vector<layout::OmrBubble>*> fields = layout::MarkFields(t);
        Json markBubbles = Json::array();
        for (size_t m = 0; m < fields.size(); ++m)
            for (size_t b = 0; b < fields[m]->size(); ++b)
                if (s.bubbles.marks[m][b].read) {
                    const char* kind = m == 0 ? "absent" : m == 1 ? "paper" : "choice";
                    Json mark{{"mark", kind}, {"value", (*fields[m])[b].value}};
                    if (m >= 2) mark["section"] = t.choices[m - 2].section;
                    mark.update(BubbleJson(s.bubbles.marks[m][b]));
                    markBubbles.push_back(mark);
                }
        if (!markBubbles.empty()) j["markBubbles"] = markBubbles;
        scanList.push_back(j);
    }
    Json sheetList = Json::array();
    for (const SheetResult& s : sheets) {
        Json j{{"scan", scans[s.scan].name}};
        if (s.scan2) j["scan2"] = scans[*s.scan2].name;
        j["status"] = StatusName(s.status);
        if (!s.reason.empty()) {
            j["reason"] = s.reason;
            Json codes = Json::array();
            for (const Reason& why : s.reasons) codes.push_back(why.code);
            j["reasonCode"] = codes;
        }
        if (s.status == SheetStatus::Absent) j["candidate"] = s.candidate;
        if (ReadSheet(t, s)) {
            j["candidate"] = s.candidate;
            if (!t.paperTypes.empty()) j["paper"] = s.paper;
            if (!t.choices.empty()) {
                Json choices = Json::object();
                for (size_t c = 0; c < t.choices.size() && c < s.choices.size(); ++c)
                    choices[std::to_string(t.choices[c].section)] =
                        s.choices[c] ? Json(s.choices[c]) : Json(nullptr);
                j["choices"] = choices;
            }
            Json answers = Json::object();
            for (size_t i = 0; i < t.items.size(); ++i)
                answers[std::to_string(t.items[i].number)] = s.answers[i];
            j["answers"] = answers;
            if (!s.groupScores.empty()) {
                Json groupScores = Json::array();
                for (const host::Score g : s.groupScores) groupScores.push_back(Score(g));
                j["groupScores"] = groupScores;
                Json itemScores = Json::object();
                for (size_t i = 0; i < t.items.size(); ++i)
                    if (s.itemScores[i])
                        itemScores[std::to_string(t.items[i].number)] = Score(*s.itemScores[i]);
                j["itemScores"] = itemScores;
            }
            if (withWritten) {
                Json written = Json::object();
                for (const auto& [item, score] : s.writtenScores)
                    written[std::to_string(item)] = Score(score);
                j["writtenScores"] = written;
                j["written"] = Score(s.written);
            }
            if (!s.groupScores.empty() || withWritten) j["total"] = Score(s.total);
        }
        sheetList.push_back(j);
    }
    return Json{{"scans", scanList}, {"sheets", sheetList}}.dump(2, ' ', false,
                                                                 Json::error_handler_t::replace) +
           "\n";
}

}  // namespace varelo::read
