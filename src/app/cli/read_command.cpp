#include "read_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
#include <new>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <optional>
#include <string_view>
#include <thread>

#include "base/atomic_file.h"
#include "base/parallel_for.h"
#include "base/printable.h"
#include "base/read_error.h"
#include "file_clash.h"
#include "key_file.h"
#include "omr/template_file.h"
#include "options.h"
#include "read_crops.h"
#include "results_xlsx.h"
#include "scan/results_table.h"
#include "scan/scan_pictures.h"
#include "scan/scan_source.h"
#include "scan/sheet_results.h"
#include "scan/written_scores.h"
#include "scores/answer_key.h"
#include "tables/marks_table.h"
#include "tables/roster.h"
#include "tables/table.h"

namespace varelo::cli {

namespace fs = std::filesystem;
using read::ReadError;

const char* const kReadHelp =
    R"(Usage: varelo read TEMPLATE.json SCAN... -o RESULTS.csv|RESULTS.xlsx [options]

Reads scans of filled sheets against the sheet's scanner template (varelo generate --omr).
SCAN is an image (PNG, JPEG, TIFF, BMP), a PDF or a TIFF of several pages (every page is
one scan, named FILE.pdf#N, FILE.tif#N) or a folder (its images and PDFs in natural name
order). After "--" every argument is a file name, even one that begins with "-".

Options:
  -o RESULTS.csv      one row per sheet: 扫描, 状态 (正常, 复核, 错误, 第2页; 缺考 when 缺考
                      is filled and nothing answered), 考号, with --roster 姓名 and 班级, on a
                      sheet with those marks 试卷类型 and each optional question's item
                      chosen (选做N), the filled labels of every item, with --key every
                      item's score (1分, 2分, ...) and 客观题, with --scores the written
                      items' scores and 主观题, then 总分 and 原因. A name ending .xlsx
                      writes a workbook: scores as numbers, 考号 as text with its zeros,
                      rows to review highlighted              e.g. -o out/results.xlsx
  --headers en        the columns of earlier versions: scan, status (ok, review, absent,
                      page2, error), candidate, paper, choiceN, the items, with --key
                      group1 ... and total, reason (in English)
                                                              e.g. --headers en
  --json FILE         per scan the map found, the marks and every bubble's darkness,
                      decision and confidence                 e.g. --json out/results.json
  --key KEY           the right answers (docs/answer-key.md): JSON, {"1": "A", "2": "BD"}
                      or {"format": "varelo-key", "version": 1, "items": {"9": {"answer":
                      "ABD", "points": 6, "rule": "partial", "partial": 2}}}, or a table
                      (CSV or .xlsx) with the columns 题号, 答案 and optionally 分值, 部分分,
                      规则. Rules: all (the default), partial (some of the answer and no
                      wrong option earns the partial points), perOption (a share of the
                      points per right option, rounded down to hundredths, nothing with a
                      wrong one). A key must name every item of the template
                                                              e.g. --key key.json
  --allow-partial-key the key may leave out items: they score nothing
                                                              e.g. --allow-partial-key
  --scores MARKS      the written answers' scores, a table (CSV or .xlsx) with the columns
                      考号, 题号, 得分 and optionally 扫描 (the scan, which names the sheet
                      when its 考号 reads "?" or is on two sheets), as --crops lists them:
                      added per sheet to the total. A score above the item's points, one
                      with more than two decimals, for an item that is not written or for a
                      sheet not read, or a second one for an item, is refused naming the row
                                                              e.g. --scores marks.csv
  --roster ROSTER     the class list (CSV or .xlsx: 考号, 姓名, optionally 班级): names and
                      classes join the results, and a sheet whose 考号 it lacks is to review
                                                              e.g. --roster roster.xlsx
  --review DIR        one PNG per scan with every bubble outlined by decision (green filled,
                      blue blank, red doubtful) and the marks found circled
                                                              e.g. --review out/review
  --aligned DIR       every page registered onto the template's page, as PNG at --dpi
                                                              e.g. --aligned out/aligned
  --crops DIR         every written answer's region (the template's "regions") of every
                      scan, registered as --aligned, as its own PNG for on-screen marking,
                      one folder per item: DIR/ITEM/CANDIDATE.png. A composition split
                      over columns is one picture of its parts one below the other, the
                      parts kept as DIR/ITEM/parts/CANDIDATE-PART.png. A digit that reads
                      as "?" is "x" in the name, and then, or when several sheets read the
                      same number, the index of the sheet's scan goes before it
                      (18/3-12x456789.png). DIR/crops.csv lists every picture: 题号, 考号
                      (as read), 扫描 (the scans it is cut from), 文件 (its path in DIR)
                                                              e.g. --crops out/crops
  --dpi N             resolution of the --aligned pages and --crops pictures (default 150, as
                      the OMRChecker templates of varelo generate --omr-format omrchecker)
                                                              e.g. --dpi 200
  --threads N         scans read at once (default: one per core)  e.g. --threads 2
  -h, --help          show this help                          e.g. varelo read --help

Outputs replace existing files of their names and their missing folders are created; an
output that is the same file as the template, the key, a scan or another output is refused
before anything is read. Crop names depend on what the scans show, so any such file in the
--crops folder whose name could be a crop's is refused.

An output that cannot be written (a folder not writable, a read-only file) is refused before
any scan is read.

Exit status 0 when every scan was read ok, absent, review or page2; 1 when a scan could
not be read (a PDF that cannot be opened is one error row; the other scans are still read),
when there is no scan or none could be read (then no output is written), or an output cannot
be written; 2 for usage.

Examples:
  varelo read out/sheet-omr.json scans/ -o out/results.csv --key key.json --review out/review
  varelo read out/sheet-omr.json scans/ -o out/results.csv --crops out/crops --dpi 200
)";

namespace {

constexpr int kOk = 0, kRefused = 1, kUsage = 2;
// PDF scans are rasterised at this resolution: enough for bubbles, quick to read.
constexpr int kPdfDpi = 200;

int PositiveNumber(const std::string& option, const std::string& value, int most) {
    try {
        size_t used = 0;
        const int n = std::stoi(value, &used);
        if (used == value.size() && n >= 1 && n <= most) return n;
    } catch (const std::exception&) {
    }
    throw UsageError(option + " needs a whole number from 1 to " + std::to_string(most));
}

// Saves a picture as PNG. Throws host::SaveError.
void SavePng(const fs::path& path, const cv::Mat& picture) {
    std::vector<uchar> bytes;
    if (!cv::imencode(".png", picture, bytes))
        throw host::SaveError("cannot encode " + path.string());
    host::SaveFileAtomically(
        path.string(), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// A picture's file name for a scan: its file name, with "-N" for a page of a PDF or of a
// multi-page image, as .png.
std::string PictureName(const read::ScanSource& s, size_t index) {
    std::string stem = fs::path(s.path).stem().string();
    if (s.page > 0) stem += "-" + std::to_string(s.page);
    return std::to_string(index + 1) + "-" + stem + ".png";
}

// What the review picture of one scan says at its top: "ok", "absent" (缺考 filled, nothing
// marked), "review" (a doubtful bubble, a candidate-number column or a mark without exactly one
// fill, 缺考 beside answers, or a page in doubt), "page 2" or "error" (also for a page of another
// exam). The sheet's row may still become review when its page 2 is missing.
std::string ScanStatus(const layout::OmrTemplate& t, const read::ScanReading& r) {
    if (!r.error.empty() || read::OfAnotherExam(t, r)) return "error";
    if (!r.registration.doubt.empty()) return "review";
    if (r.registration.page != 1) return "page " + std::to_string(r.registration.page);
    for (const auto& column : r.bubbles.candidate)
        if (std::count_if(column.begin(), column.end(), [](const read::BubbleReading& b) {
                return b.decision == read::Decision::Filled;
            }) != 1)
            return "review";
    for (const auto* group : {&r.bubbles.candidate, &r.bubbles.items, &r.bubbles.marks})
        for (const auto& bubbles : *group)
            for (const read::BubbleReading& b : bubbles)
                if (b.decision == read::Decision::Doubtful) return "review";
    const auto filled = [](const std::vector<read::BubbleReading>& bubbles) {
        return std::count_if(bubbles.begin(), bubbles.end(), [](const read::BubbleReading& b) {
            return b.decision == read::Decision::Filled;
        });
    };
    // The marks' fields in layout::MarkFields order: 缺考, the paper types, the optional
    // questions; each field with bubbles wants one fill, 缺考 none unless nothing is answered.
    const std::vector<std::vector<read::BubbleReading>>& marks = r.bubbles.marks;
    if (!marks.empty() && filled(marks[0]) > 0) {
        for (const auto* group : {&r.bubbles.items, &marks})
            for (size_t i = group == &marks ? 1 : 0; i < group->size(); ++i)
                if (filled((*group)[i]) > 0) return "review";
        return "absent";
    }
    for (size_t m = 1; m < marks.size(); ++m)
        if (!marks[m].empty() && filled(marks[m]) != 1) return "review";
    return "ok";
}

// The written scores in path, checked against the template. Throws ReadError naming the file.
std::vector<read::WrittenMark> LoadMarks(const std::string& path, const layout::OmrTemplate& t) {
    try {
        std::vector<read::WrittenMark> marks;
        for (tables::MarkRow& m : tables::ReadMarksTable(tables::ReadTable(path)))
            marks.push_back({"row " + std::to_string(m.row) + ": ", std::move(m.candidate),
                             std::move(m.item), std::move(m.scan), m.score});
        read::CheckWrittenMarks(marks, t);
        return marks;
    } catch (const tables::TableError& e) {
        throw ReadError(e.what());  // names the file already
    } catch (const ReadError& e) {
        throw ReadError(path + ": " + e.what());
    }
}

// The first output that would replace an input (the template, the key, a scan) or another
// output, before anything is read or written.
std::optional<std::string> FindClash(const ReadOptions& o,
                                     const std::vector<read::ScanSource>& sources) {
    FileClashes clashes;
    clashes.Add({"the template", o.templatePath});
    if (!o.key.empty()) clashes.Add({"--key", o.key});
    if (!o.scores.empty()) clashes.Add({"--scores", o.scores});
    if (!o.roster.empty()) clashes.Add({"--roster", o.roster});
    for (const read::ScanSource& s : sources)
        if (s.page <= 1) clashes.Add({"the scan", s.path});
    std::vector<NamedFile> outputs;
    if (!o.csv.empty()) outputs.push_back({"-o", o.csv});
    if (!o.json.empty()) outputs.push_back({"--json", o.json});
    for (size_t i = 0; i < sources.size(); ++i) {
        if (!o.review.empty())
            outputs.push_back(
                {"--review", (fs::path(o.review) / PictureName(sources[i], i)).string()});
        if (!o.aligned.empty())
            outputs.push_back(
                {"--aligned", (fs::path(o.aligned) / PictureName(sources[i], i)).string()});
    }
    std::vector<NamedFile> everything = {{"the template", o.templatePath}};
    if (!o.key.empty()) everything.push_back({"--key", o.key});
    if (!o.scores.empty()) everything.push_back({"--scores", o.scores});
    if (!o.roster.empty()) everything.push_back({"--roster", o.roster});
    for (const read::ScanSource& s : sources)
        if (s.page <= 1) everything.push_back({"the scan", s.path});
    everything.insert(everything.end(), outputs.begin(), outputs.end());
    for (NamedFile& f : outputs) {
        const NamedFile later = f;
        if (const auto earlier = clashes.Add(std::move(f)); !earlier.empty())
            return DescribeClash(later, earlier.front());
    }
    if (!o.crops.empty()) return FindCropClash(o.crops, everything);
    return std::nullopt;
}

// Makes the folder an output goes into. Throws ReadError when it cannot be made or written in:
// found before any scan is read, not after.
void MakeWritableFolder(const std::string& dir, const std::string& option) {
    const fs::path p = dir.empty() ? fs::path(".") : fs::path(dir);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(p, ec)) && !fs::exists(p, ec))
        throw ReadError(option + ": " + p.string() + " is a symlink to " +
                        fs::read_symlink(p, ec).string() + ", which does not exist");
    fs::create_directories(p, ec);
    if (ec) throw ReadError(option + ": cannot create " + p.string() + ": " + ec.message());
    if (!fs::is_directory(p, ec)) throw ReadError(option + ": " + p.string() + " is not a folder");
    if (access(p.c_str(), W_OK | X_OK) != 0)
        throw ReadError(option + ": cannot write in the folder " + p.string() + ": " +
                        std::strerror(errno));
}

// The same for an output file, and the file itself when it is there and read-only: the save
// would replace it, when its owner meant it kept.
void CheckWritableFile(const std::string& file, const std::string& option) {
    MakeWritableFolder(fs::path(file).parent_path().string(), option);
    struct stat st {};
    if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
        throw ReadError(option + ": " + file + " is read-only");
}

// Scans read at once by default: one per core, as many as the memory free holds, each taking
// up to about 150 MB (a 148-megapixel page and its working copies).
unsigned DefaultThreads() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::ifstream meminfo("/proc/meminfo");
    unsigned long long kb = 0;
    for (std::string key; meminfo >> key;) {
        if (key == "MemAvailable:") {
            meminfo >> kb;
            break;
        }
        meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    unsigned long long bytes = kb * 1024;
    if (bytes == 0) {
        const long pages = sysconf(_SC_AVPHYS_PAGES), size = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || size <= 0) return cores;
        bytes = static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(size);
    }
    constexpr unsigned long long kBytesPerScan = 150ull << 20;
    return static_cast<unsigned>(std::clamp<unsigned long long>(bytes / kBytesPerScan, 1, cores));
}

}  // namespace

ReadOptions ParseRead(const std::vector<std::string>& args) {
    ReadOptions o;
    std::vector<std::string> positional;
    bool namesOnly = false;  // after "--": a scan may be named "-o"
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (namesOnly) {
            positional.push_back(a);
            continue;
        }
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--") {
            namesOnly = true;
        } else if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "-o") {
            o.csv = value();
        } else if (a == "--json") {
            o.json = value();
        } else if (a == "--key") {
            o.key = value();
        } else if (a == "--scores") {
            o.scores = value();
        } else if (a == "--roster") {
            o.roster = value();
        } else if (a == "--headers") {
            const std::string& h = value();
            if (h != "en" && h != "zh") throw UsageError("--headers is en or zh");
            o.englishHeaders = h == "en";
        } else if (a == "--allow-partial-key") {
            o.allowPartialKey = true;
        } else if (a == "--review") {
            o.review = value();
        } else if (a == "--aligned") {
            o.aligned = value();
        } else if (a == "--crops") {
            o.crops = value();
        } else if (a == "--dpi") {
            o.dpi = PositiveNumber(a, value(), 1200);
        } else if (a == "--threads") {
            o.threads = static_cast<unsigned>(PositiveNumber(a, value(), 256));
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (o.help) return o;
    if (positional.empty()) throw UsageError("no template given");
    if (positional.size() < 2) throw UsageError("no scan given");
    if (o.csv.empty()) throw UsageError("-o RESULTS.csv is required");
    o.templatePath = positional.front();
    o.scans.assign(positional.begin() + 1, positional.end());
    return o;
}

int RunRead(const std::vector<std::string>& args) {
    ReadOptions o;
    try {
        o = ParseRead(args);
    } catch (const UsageError& e) {
        std::cerr << "varelo read: " << e.what() << "; see varelo read --help\n";
        return kUsage;
    }
    if (o.help) {
        std::cout << kReadHelp;
        return kOk;
    }
    layout::OmrTemplate t;
    read::AnswerKey key;
    std::vector<read::WrittenMark> marks;
    tables::Roster roster;
    std::vector<read::ScanSource> sources;
    try {
        t = read::LoadTemplate(o.templatePath);
        if (!o.key.empty()) key = LoadKeyFile(o.key, t, {o.allowPartialKey});
        if (!o.scores.empty()) marks = LoadMarks(o.scores, t);
        if (!o.roster.empty()) {
            try {
                roster = tables::ReadRoster(tables::ReadTable(o.roster),
                                            static_cast<int>(t.candidateColumns.size()));
            } catch (const tables::TableError& e) {
                throw ReadError(e.what());
            }
        }
        std::vector<std::string> skipped;
        sources = read::ListScans(o.scans, &skipped);
        for (const std::string& notice : skipped)
            std::cerr << "varelo read: " << host::Printable(notice) << '\n';
        if (const auto clash = FindClash(o, sources)) {
            std::cerr << "varelo read: " << host::Printable(*clash) << "; nothing was written\n";
            return kUsage;
        }
        const std::pair<const std::string&, const char*> folders[] = {
            {o.review, "--review"}, {o.aligned, "--aligned"}, {o.crops, "--crops"}};
        for (const auto& [dir, option] : folders)
            if (!dir.empty()) MakeWritableFolder(dir, option);
        CheckWritableFile(o.csv, "-o");
        if (!o.json.empty()) CheckWritableFile(o.json, "--json");
    } catch (const read::ReadError& e) {
        std::cerr << "varelo read: " << host::Printable(e.what()) << '\n';
        return kRefused;
    } catch (const fs::filesystem_error& e) {
        std::cerr << "varelo read: cannot create " << e.path1().string() << ": "
                  << e.code().message() << '\n';
        return kRefused;
    }

    // Scans are read side by side, each on one core.
    cv::setNumThreads(0);
    const auto start = std::chrono::steady_clock::now();
    std::vector<read::ScanReading> readings(sources.size());
    std::vector<std::string> pictureErrors(sources.size());
    // The review picture of a scan that could not be read waits until something was read: a
    // run that reads nothing writes nothing.
    std::vector<char> reviewLater(sources.size(), 0);
    const unsigned threads = o.threads != 0 ? o.threads : DefaultThreads();
    const auto work = [&](size_t i) {
        const std::string name = sources[i].Name();
        cv::Mat grey;
        try {
            grey = read::LoadScan(sources[i], kPdfDpi);
            readings[i] = read::ReadScan(t, name, grey);
        } catch (const read::ReadError& e) {
            readings[i].name = name;
            readings[i].error = e.what();
        } catch (const cv::Exception& e) {
            // A fault of OpenCV on this scan fails the scan, not the run.
            readings[i].name = name;
            readings[i].error = e.code == cv::Error::StsNoMem ? "not enough memory to read the scan"
                                                              : std::string(e.what());
        } catch (const std::bad_alloc&) {
            readings[i].name = name;
            readings[i].error = "not enough memory to read the scan";
        }
        try {
            if (!o.review.empty() && !grey.empty() && !readings[i].error.empty()) {
                reviewLater[i] = 1;
            } else if (!o.review.empty() && !grey.empty()) {
                const std::string status = ScanStatus(t, readings[i]);
                SavePng(fs::path(o.review) / PictureName(sources[i], i),
                        read::ReviewPicture(t, readings[i], grey, status));
            }
            if (!o.aligned.empty() && readings[i].error.empty()) {
                SavePng(fs::path(o.aligned) / PictureName(sources[i], i),
                        read::AlignedPage(t, readings[i], grey, o.dpi));
            }
        } catch (const cv::Exception& e) {
            pictureErrors[i] = e.what();
        } catch (const read::ReadError& e) {
            pictureErrors[i] = e.what();
        } catch (const host::SaveError& e) {
            pictureErrors[i] = e.what();
        } catch (const std::bad_alloc&) {
            pictureErrors[i] = "not enough memory to draw the pictures";
        }
    };
    host::ParallelFor(sources.size(), threads, work, host::TerminalProgress("reading scans"));

    std::vector<read::SheetResult> sheets =
        read::AssembleSheets(t, readings, o.key.empty() ? nullptr : &key);
    try {
        read::AddWrittenScores(marks, t, readings, sheets);
    } catch (const ReadError& e) {
        std::cerr << "varelo read: " << host::Printable(o.scores + ": " + e.what())
                  << "; nothing was written\n";
        return kRefused;
    }
    std::map<std::string, read::RosterEntry> names;
    if (!o.roster.empty()) {
        std::vector<std::string> numbers;
        for (const tables::Student& s : roster.students) {
            numbers.push_back(s.number);
            names[s.number] = {s.name, s.className};
        }
        read::MarkNotInRoster(t, numbers, sheets);
    }
    // Every scan is counted once: a page 2 read with its page 1 apart from a page 2 read alone.
    size_t ok = 0, review = 0, page2 = 0, page2Alone = 0, errors = 0, absent = 0;
    for (const read::SheetResult& s : sheets) {
        if (s.scan2) ++page2;
        switch (s.status) {
            case read::SheetStatus::Ok:
                ++ok;
                break;
            case read::SheetStatus::Review:
                ++review;
                break;
            case read::SheetStatus::Page2:
                ++page2Alone;
                break;
            case read::SheetStatus::Absent:
                ++absent;
                break;
            case read::SheetStatus::Error:
                ++errors;
                std::cerr << readings[s.scan].name << ": " << s.reason << '\n';
                break;
        }
    }
    std::string cropsIndex;
    if (!o.crops.empty()) {
        const CropPlan crops = PlanCrops(t, readings, sheets);
        const std::vector<std::string> cropErrors =
            WriteCrops(t, sources, readings, crops, o.crops, o.dpi, kPdfDpi, threads);
        cropsIndex = CropsCsv(t, readings, sheets, crops, cropErrors);
        for (size_t i = 0; i < cropErrors.size(); ++i)
            if (pictureErrors[i].empty()) pictureErrors[i] = cropErrors[i];
    }
    if (errors == sheets.size()) {
        // Nothing was read: results of errors only must not replace the results of a run that
        // read something.
        std::cerr << "varelo read: none of the " << sources.size()
                  << " scans could be read; nothing was written\n";
        return kRefused;
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        if (!reviewLater[i]) continue;
        try {
            const cv::Mat grey = read::LoadScan(sources[i], kPdfDpi);
            SavePng(fs::path(o.review) / PictureName(sources[i], i),
                    read::ReviewPicture(t, readings[i], grey, ScanStatus(t, readings[i])));
        } catch (const std::exception& e) {
            pictureErrors[i] = e.what();
        }
    }
    bool failed = errors > 0;
    for (size_t i = 0; i < pictureErrors.size(); ++i)
        if (!pictureErrors[i].empty()) {
            std::cerr << "varelo read: " << readings[i].name << ": " << pictureErrors[i] << '\n';
            failed = true;
        }
    try {
        const read::ResultsOptions columns{
            .headers = o.englishHeaders ? read::Headers::English : read::Headers::Chinese,
            .withKey = !o.key.empty(),
            .withWritten = !o.scores.empty(),
            .roster = o.roster.empty() ? nullptr : &names,
            .rosterHasClass = roster.hasClass};
        const read::ResultsTable table = read::MakeResultsTable(t, readings, sheets, columns);
        if (IsXlsxName(o.csv))
            SaveResultsXlsx(table, o.csv);
        else
            host::SaveFileAtomically(o.csv, read::ResultsCsv(table));
        if (!o.json.empty())
            host::SaveFileAtomically(o.json,
                                     read::ResultsJson(t, readings, sheets, !o.scores.empty()));
        if (!o.crops.empty())
            host::SaveFileAtomically((fs::path(o.crops) / kCropsIndex).string(), cropsIndex);
    } catch (const host::SaveError& e) {
        std::cerr << "varelo read: " << e.what() << '\n';
        return kRefused;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << sources.size() << " scans: " << ok << " read, ";
    if (absent > 0) std::cout << absent << " absent, ";
    std::cout << review << " to review, " << page2 << " page 2 read with their page 1, "
              << page2Alone << " page 2 read alone, " << errors << " errors, in " << std::fixed
              << std::setprecision(2) << seconds << " s; results in " << o.csv << '\n';
    return failed ? kRefused : kOk;
}

}  // namespace varelo::cli
