#include "scan/written_scores.h"

#include <algorithm>
#include <map>

#include "base/printable.h"
#include "base/read_error.h"

namespace varelo::read {

namespace {

constexpr size_t kShown = 10;

void Throw(const std::vector<std::string>& faults) {
    if (faults.empty()) return;
    std::string message;
    for (size_t i = 0; i < faults.size() && i < kShown; ++i) message += (i ? "; " : "") + faults[i];
    if (faults.size() > kShown)
        message += "; and " + std::to_string(faults.size() - kShown) + " more";
    throw ReadError(message);
}

// The written item a mark scores and its points, or a fault.
struct Target {
    int item = 0;
    host::Score points;
};

bool FindTarget(const WrittenMark& m, const layout::OmrTemplate& t, Target& out,
                std::vector<std::string>& faults) {
    const std::string shown = host::Quoted(host::Shortened(m.item));
    int number = 0;
    const bool digits =
        !m.item.empty() && m.item.size() <= 6 &&
        std::all_of(m.item.begin(), m.item.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) number = std::stoi(m.item);
    const auto region = std::find_if(t.regions.begin(), t.regions.end(),
                                     [&](const layout::OmrRegion& r) { return r.item == number; });
    if (!digits || region == t.regions.end()) {
        const bool bubbles =
            std::any_of(t.items.begin(), t.items.end(),
                        [&](const layout::OmrItem& i) { return i.number == number; });
        faults.push_back(m.where + "item " + shown +
                         (digits && bubbles ? " is answered in bubbles: the key scores it"
                                            : " is no written item of the template"));
        return false;
    }
    const auto points = host::Score::FromDouble(region->points);
    out = {number, points ? *points : host::Score::Whole(1000000)};
    if (m.score > out.points) {
        faults.push_back(m.where + "item " + std::to_string(number) + " scores " + m.score.Text() +
                         ", more than its " + out.points.Text() + " points");
        return false;
    }
    return true;
}

std::vector<std::string> Split(const std::string& scans) {
    std::vector<std::string> out;
    for (size_t from = 0;;) {
        const size_t at = scans.find(" + ", from);
        out.push_back(scans.substr(from, at - from));
        if (at == std::string::npos) return out;
        from = at + 3;
    }
}

bool Read(const layout::OmrTemplate& t, const SheetResult& s) {
    return (s.status == SheetStatus::Ok || s.status == SheetStatus::Review) &&
           s.answers.size() == t.items.size();
}

}  // namespace

void CheckWrittenMarks(const std::vector<WrittenMark>& marks, const layout::OmrTemplate& t) {
    std::vector<std::string> faults;
    for (const WrittenMark& m : marks) {
        Target target;
        FindTarget(m, t, target, faults);
    }
    Throw(faults);
}

void AddWrittenScores(const std::vector<WrittenMark>& marks, const layout::OmrTemplate& t,
                      const std::vector<ScanReading>& scans, std::vector<SheetResult>& sheets) {
    std::vector<std::string> faults;
    std::map<std::string, std::vector<size_t>> byCandidate, byScan;
    std::map<std::string, size_t> absent;
    for (size_t s = 0; s < sheets.size(); ++s) {
        if (sheets[s].status == SheetStatus::Absent) absent.emplace(sheets[s].candidate, s);
        if (!Read(t, sheets[s])) continue;
        byCandidate[sheets[s].candidate].push_back(s);
        byScan[scans[sheets[s].scan].name].push_back(s);
        if (sheets[s].scan2) byScan[scans[*sheets[s].scan2].name].push_back(s);
    }
    const size_t digits = t.candidateColumns.size();
    // Per sheet and item, the mark that scores it.
    std::map<std::pair<size_t, int>, const WrittenMark*> scored;
    for (const WrittenMark& m : marks) {
        Target target;
        if (!FindTarget(m, t, target, faults)) continue;
        std::string candidate = m.candidate;
        if (!candidate.empty() && candidate.size() < digits &&
            candidate.find_first_not_of("0123456789") == std::string::npos)
            candidate.insert(0, digits - candidate.size(), '0');
        std::optional<size_t> sheet;
        if (!m.scan.empty()) {
            for (const std::string& name : Split(m.scan)) {
                const auto found = byScan.find(name);
                if (found == byScan.end() || (sheet && found->second.front() != *sheet)) {
                    faults.push_back(m.where + "no sheet was read from the scan" +
                                     (m.scan == name ? " " : "s ") +
                                     host::Quoted(host::Shortened(m.scan)));
                    sheet.reset();
                    break;
                }
                sheet = found->second.front();
            }
            if (sheet && !m.candidate.empty() && sheets[*sheet].candidate != candidate) {
                faults.push_back(m.where + "考号 " + m.candidate + " is not the 考号 " +
                                 sheets[*sheet].candidate + " read from " + m.scan);
                sheet.reset();
            }
        } else if (candidate.find('?') != std::string::npos) {
            faults.push_back(m.where + "考号 " + host::Shortened(m.candidate) +
                             " was not read whole: the 扫描 column must say which sheet it is");
        } else {
            const auto found = byCandidate.find(candidate);
            if (found == byCandidate.end() && absent.count(candidate)) {
                faults.push_back(m.where + "考号 " + candidate + " is absent (缺考) on " +
                                 scans[sheets[absent[candidate]].scan].name);
            } else if (found == byCandidate.end()) {
                faults.push_back(m.where + "no sheet read 考号 " + host::Shortened(m.candidate));
            } else if (found->second.size() > 1) {
                std::string names;
                for (const size_t s : found->second)
                    names += (names.empty() ? "" : ", ") + scans[sheets[s].scan].name;
                faults.push_back(m.where + "考号 " + candidate + " is on " +
                                 std::to_string(found->second.size()) + " sheets (" + names +
                                 "): the 扫描 column must say which sheet it is");
            } else {
                sheet = found->second.front();
            }
        }
        if (!sheet) continue;
        const auto [at, added] = scored.emplace(std::pair{*sheet, target.item}, &m);
        if (!added) {
            faults.push_back(m.where + "item " + std::to_string(target.item) + " of " +
                             scans[sheets[*sheet].scan].name + " is scored already, in " +
                             at->second->where.substr(0, at->second->where.size() - 2));
        }
    }
    Throw(faults);
    for (const auto& [where, m] : scored) {
        SheetResult& s = sheets[where.first];
        s.writtenScores[where.second] = m->score;
        s.written += m->score;
        s.total += m->score;
    }
}

}  // namespace varelo::read
