#include "options.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

#include "codes/page_code.h"
#include "section_options.h"

namespace varelo::cli {

const char* const kMainHelp =
    R"(Usage: varelo COMMAND [OPTIONS]

Lays out exam answer sheets (答题卡) as .docx documents, with PDF, PNG and scanner
templates on request.

Commands:
  generate    build an answer sheet from settings
                  e.g. varelo generate --title 期末考试 --subtitle 数学 -o out/math.docx
  batch       build many sheets from a JSON job file
                  e.g. varelo batch jobs.json -o out/sheets --pdf
  edit        frame, underline, merge or turn into composition paper the cells of a
              saved sheet
                  e.g. varelo edit out/math.docx -o out/essay.docx --select 70,3:90,21 --composition
  read        read scans of filled sheets into candidate numbers, answers and scores
                  e.g. varelo read out/sheet-omr.json scans/ -o out/results.csv

Each command lists its options with an example: varelo generate --help, varelo batch
--help, varelo edit --help, varelo read --help.

Options:
  -h, --help  show this help                                  e.g. varelo --help

Files: every output is written atomically (a failed or interrupted run leaves the earlier
file as it was) and its missing folders are created. An output replaces an existing file of
that name, whatever it holds; an output that is the same file as an input or as another
output of the same run is refused before anything is written.
)";

const char* const kBatchHelp =
    R"(Usage: varelo batch JOBS.json [-o FOLDER] [--pdf] [--png] [--dpi N] [--omr]
                    [--omr-format FORMAT] [--threads N]

Builds one answer sheet per job of a JSON job file and writes them into FOLDER (default
out/), using every core. A job that the settings refuse, or that has an unknown key or a bad
value, is reported with its number and the reason; the other sheets are still written.

JOBS.json (at most 64 MB) is an array of objects with these keys, all optional (a missing
key takes the dialog's default, as in "varelo generate"):
  layout    text: A3三栏, A3双栏, 8开三栏, 8开双栏, A4单栏 or B5单栏 (default A3三栏)
  title, subtitle, setter     text
  digits    number or text, 1 to 12
  groups    array of {"name", "items", "options", "points", "labels"}: numbers may be
            numbers or text; "labels" is "字母" (default), "数字" or "判断". Without "groups" the
            sheet gets the default group 选择题, 30 items, 4 options, 1 point; [] gives none.
  sections  array of written-answer sections after the groups, in order: objects with
            "kind" ("填空", "解答" or "作文"), "name", "points" and, by kind, "items" and
            "blanks" (填空), "items" and "rows" (解答), "chars" (作文); numbers may be numbers
            or text. See --fill, --answer and --essay in "varelo generate --help".
  output    file name inside FOLDER (default sheet-001.docx, sheet-002.docx, ... by job
            order); it replaces an existing file of that name
  pdf, png, omr               true or false: this sheet's PDF, PNG pages or scanner
            template, whatever the options below say
  pageCode  true or false: a QR code on each page naming the exam and the page (default:
            when page 2 has bubbles or answer areas); see --page-code in "varelo generate
            --help"
  examId    text of 16 hexadecimal digits: the exam's id in the codes (default: a new one)

Each sheet's extras are named after it: NAME.docx gives NAME.pdf, NAME-1.png, NAME-2.png and
NAME-omr.json (OMRChecker: NAME-omr-1.json, NAME-omr-2.json). Before anything is written,
jobs whose files would be the same file (two jobs with one output, an output equal to
another job's default name or extras, or the job file itself) all fail, with the other jobs
named; the rest are written, and the summary counts only the sheets written.

Options:
  -o, --output FOLDER   where to write the sheets (created when missing; default out)
                                                              e.g. -o out/sheets
  --pdf                 also write each sheet as PDF          e.g. --pdf
  --png                 also write each sheet's pages as PNG  e.g. --png --dpi 100
  --dpi N               resolution of the PNG pages and of OMRChecker templates, 10 to
                        1200 (default 150)                    e.g. --dpi 300
  --omr                 also write each sheet's scanner template (docs/omr-template.md)
                                                              e.g. --omr
  --omr-format FORMAT   varelo (default) or omrchecker: one OMRChecker template per page,
                        in pixels at --dpi                    e.g. --omr --omr-format omrchecker
  --threads N           worker threads, 1 to 64 (default: one per core)  e.g. --threads 2
  -h, --help            show this help                        e.g. varelo batch --help

Exit status: 0 every sheet written; 1 a job failed or the job file is unusable; 2 the
command line is wrong.

Example:
  varelo batch jobs.json -o out/sheets --pdf --omr
  with jobs.json:
  [{"title": "期末考试", "subtitle": "数学", "digits": 8,
    "groups": [{"name": "选择题", "items": 20, "options": 4, "points": 3}]},
   {"layout": "A4单栏", "subtitle": "英语", "output": "english.docx", "pdf": false,
    "sections": [{"kind": "填空", "name": "填空题", "items": 10, "blanks": 1, "points": 2},
                 {"kind": "作文", "name": "书面表达", "chars": 100, "points": 25}]}]
)";

const char* const kGenerateHelp =
    R"(Usage: varelo generate [OPTIONS]

Builds an answer sheet from the settings dialog's fields and writes it as .docx, and on
request as PDF and PNG. Anything not given takes the dialog's default, except the layout
(default "A3三栏" here, "8开三栏" in the dialog) and the objective-question list (here one
group "选择题" of 30 items with 4 options at 1 point when no --group is given).

Options:
  --layout NAME       paper layout: A3三栏, A3双栏, 8开三栏, 8开双栏, A4单栏 or B5单栏
                      (default A3三栏)  e.g. --layout A4单栏
  --title TEXT        title of the paper (default 中考试卷)   e.g. --title 期末考试
  --subtitle TEXT     subtitle (default 英语)                 e.g. --subtitle 数学
  --setter TEXT       question setter after 命题人： (default 王老师)  e.g. --setter 李老师
  --digits N          digits of the candidate number, 1 to 12 (default 9)  e.g. --digits 8
  --group NAME,ITEMS,OPTIONS,POINTS[,字母|数字|判断]
                      adds one objective question group, in order; repeat for more.
                      Leave OPTIONS empty for the dialog's 4 (2 with 判断); the labels
                      are 字母 (A, B, ...) unless 数字 (1, 2, ..., at most 9 options) or
                      判断 (√ and ×, 2 options) is given. Use "，" for a comma in NAME.
                      e.g. --group 选择题,20,4,2 --group 判断题,10,2,1.5,判断
  --no-groups         leave the objective-question list empty (no objective section)
                                                              e.g. --no-groups
  --absent-mark       prints the 缺考 bubble, "（考生禁填）", in the candidate band for the
                      invigilator; the reader gives such a sheet the status absent
                                                              e.g. --absent-mark
  --paper-types TYPES prints a bubble per version of the paper near the title, 2 to 4
                      capital letters; the reader reports the one filled
                                                              e.g. --paper-types AB
  --fill NAME,ITEMS,BLANKS,POINTS
                      adds a fill-in section after the objective groups: ITEMS items,
                      each a line of BLANKS underlined blanks (more blanks than a line
                      holds take further lines), POINTS per blank
                                                              e.g. --fill 填空题,10,1,2
  --answer NAME,ITEMS,ROWS,POINTS
                      adds a section of ITEMS answer boxes, each ROWS grid rows tall
                      across its page column, POINTS per item  e.g. --answer 解答题,4,20,10
  --essay NAME,CHARS,POINTS
                      adds a composition grid of at least CHARS squares, POINTS in all
                                                              e.g. --essay 作文,600,50
                      Sections follow in the order given, each under its own heading;
                      their items are numbered on from the objective items. Items and
                      boxes never split; a composition continues in the next page column
                      between rows of squares. A list that does not fit on the two pages
                      is refused, naming the section and item.
  -o, --output FILE   the .docx to write (default out/sheet.docx); an existing file of
                      that name is replaced                   e.g. -o exam.docx
  --pdf FILE          also export the sheet as PDF            e.g. --pdf exam.pdf
  --png PREFIX        also export one PNG per page: PREFIX-1.png, PREFIX-2.png
                                                              e.g. --png out/exam
  --dpi N             resolution of the PNG pages and of the OMRChecker template, 10 to
                      1200 (default 150)                      e.g. --dpi 300
  --omr FILE          also write the scanner template: where every positioning mark and
                      bubble lies, in millimetres (docs/omr-template.md)
                                                              e.g. --omr out/sheet-omr.json
  --omr-format FORMAT varelo (default) or omrchecker: one OMRChecker template.json per
                      page, in pixels at --dpi, as FILE-1.json, FILE-2.json
                                                              e.g. --omr-format omrchecker
  --page-code on|off  print on each page a QR code naming the exam and the page, so
                      scanned pages pair whatever their order (docs/omr-template.md);
                      by default on when page 2 has bubbles or answer areas (and room
                      for the code), or with --copies          e.g. --page-code on
  --exam-id HEX       the exam's id in the codes: 16 hexadecimal digits (default: a new
                      one, or the sheet's with --from)        e.g. --exam-id 0123456789abcdef
  --copies N          numbered sheets: --pdf FILE holds N copies, pages 1 and 2 of each in
                      order, their codes carrying the serials 1 to N (N at most 10000);
                      the .docx (its code without a serial) and one scanner template
                      serve them all                          e.g. --copies 40 --pdf out/all.pdf
  --from SHEET.docx   start from the exam a saved sheet was made from, its id included;
                      the options given replace its fields (groups and sections as a
                      whole), so a corrected sheet still reads copies already printed
                                                              e.g. --from out/math.docx --title 期末考试
  -h, --help          show this help                         e.g. varelo generate --help

Options take their value as the next argument or after "=" (--title=期末考试).

Every file is written atomically and its missing folders are created. No two of -o, --pdf,
--png and --omr may name the same file: such a command line is refused before anything is
written.

Exit status: 0 written; 1 the settings were refused (the reason is printed, as the dialog
shows it) or a file could not be written; 2 the command line is wrong.

Example:
  varelo generate --layout 8开双栏 --title 期中考试 --subtitle 物理 --digits 10 \
      --group 单项选择,15,4,3 --group 多项选择,5,5,4 -o out/physics.docx --pdf out/physics.pdf
  varelo generate --group 选择题,12,4,3 --fill 填空题,10,1,2 --answer 解答题,4,20,10 \
      --essay 作文,600,50 -o out/exam.docx --omr out/exam-omr.json
)";

const char* const kEditHelp =
    R"(Usage: varelo edit IN.docx -o OUT.docx [--select R1,C1:R2,C2 TOOL ...] ...
                   [--pdf FILE] [--png PREFIX] [--dpi N]

Finishes a saved answer sheet by hand with the command bar's tools and writes it again.
IN.docx must be a sheet that Varelo wrote. The steps run in command-line order: each
--select chooses a block of cells of the page grid (the sheet's first table), and each tool
acts on the latest selection. OUT.docx may be IN.docx itself: the old file is replaced only
once the new one has been written completely.

Options:
  --select R1,C1:R2,C2  select rows R1 to R2, columns C1 to C2 of the page grid (1-based;
                        any two opposite corners; R,C selects one cell). The block is taken
                        as given: the tools act on the cells it touches, a merged cell
                        counting whole, and never on others.   e.g. --select 70,3:90,21
  --box                 frame the selection with a single 0.5 pt line, nothing inside (方框)
                                                              e.g. --select 30,3:40,21 --box
  --line                a single 0.5 pt line under the selection; other borders stay (直线)
                                                              e.g. --select 92,3:92,21 --line
  --merge               merge the selection into one cell, centred vertically (合并单元格);
                        it needs at least two cells; a block that cuts a merged cell is
                        left unmerged and only centred        e.g. --select 95,3:99,21 --merge
  --composition         turn the selection into composition paper: rows of 0.75 cm squares
                        with 0.3 cm gaps in a 1.5 pt frame (作文); it needs more than 10 rows
                        and more than 10 columns, and no merged cell cut by the block
                                                              e.g. --select 70,3:90,21 --composition
  --omr FILE            also write the scanner template of the edited sheet, from the
                        settings the sheet carries: with written-answer sections, their
                        regions too (composition paper drawn with --composition is no
                        region). Where the settings are gone it is read off the page
                        grid, which tells no written sections: a sheet with them is
                        then refused
                                                              e.g. --omr out/essay-omr.json
  --omr-format FORMAT   varelo (default) or omrchecker: one OMRChecker template per page,
                        in pixels at --dpi                    e.g. --omr-format omrchecker
  --force               let --merge and --composition join cells holding bubbles or
                        positioning marks, which the scanner then cannot find (the desktop
                        asks first); without it such a step is refused   e.g. --force
  -o, --output FILE     the .docx to write (required); IN.docx itself edits in place, any
                        other existing file is replaced       e.g. -o out/essay.docx
  --pdf FILE            also export the edited sheet as PDF   e.g. --pdf out/essay.pdf
  --png PREFIX          also export one PNG per page: PREFIX-1.png, PREFIX-2.png
                                                              e.g. --png out/essay
  --dpi N               resolution of the PNG pages, 10 to 1200 (default 150)
                                                              e.g. --dpi 100
  -h, --help            show this help                        e.g. varelo edit --help

--pdf and --png never name IN.docx or another output: such a command line is refused before
anything is written. Missing folders of the outputs are created.

There is no gridline option: the 网格 tool only shows or hides the window's non-printing
gridlines, a view setting that is not part of the document.

Options take their value as the next argument or after "=" (--select=70,3:90,21).
After "--", the next argument is IN.docx even when it begins with "-".

Exit status: 0 written; 1 IN.docx cannot be opened (not a Varelo sheet, or damaged), a tool
refused its selection (its message is printed as the desktop shows it, for instance
请先选定合适的区域), or a file could not be written. When any step is refused nothing is
written. 2 the command line is wrong, also for a --select outside the page grid.

Example:
  varelo edit out/sheet.docx -o out/essay.docx --select 70,3:90,21 --composition \
      --select 92,3:92,21 --line --png out/essay --dpi 100
)";

std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

namespace {

int ParseDpi(const std::string& text) {
    int dpi = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, dpi);
    if (ec != std::errc{} || ptr != end || dpi < 10 || dpi > 1200)
        throw UsageError("--dpi wants a whole number from 10 to 1200, not \"" + text + "\"");
    return dpi;
}

}  // namespace

GroupEntry ParseGroup(const std::string& value) {
    const std::vector<std::string> f = SplitAtCommas(value);
    if (f.size() != 4 && f.size() != 5)
        throw UsageError("--group wants NAME,ITEMS,OPTIONS,POINTS[,字母|数字|判断], not \"" +
                         value + "\"");
    GroupEntry g{f[0], f[1], f[2], f[3], "字母"};
    if (f.size() == 5) {
        if (f[4] != "字母" && f[4] != "数字" && f[4] != "判断")
            throw UsageError("the option type of --group is 字母, 数字 or 判断, not \"" + f[4] +
                             "\"");
        g.labels = f[4];
    }
    return g;
}

namespace {

// Walks the options: each handler call gets the option's name, a reader of its value (the
// next argument or what follows "=") and a check that it was given none.
class OptionCursor {
  public:
    OptionCursor(const std::vector<std::string>& args, size_t i) : args_(args), i_(i) {
        name_ = args[i];
        if (name_.rfind("--", 0) == 0) {
            if (const size_t eq = name_.find('='); eq != std::string::npos) {
                inlineValue_ = name_.substr(eq + 1);
                name_.resize(eq);
            }
        }
    }
    const std::string& name() const { return name_; }
    std::string value() {
        if (inlineValue_) return *inlineValue_;
        if (i_ + 1 >= args_.size()) throw UsageError(name_ + " wants a value");
        return args_[++i_];
    }
    void flag() const {
        if (inlineValue_) throw UsageError(name_ + " takes no value");
    }
    size_t next() const { return i_ + 1; }
    [[noreturn]] void unknown() const { throw UsageError("unknown option \"" + args_[i_] + "\""); }

  private:
    const std::vector<std::string>& args_;
    size_t i_;
    std::string name_;
    std::optional<std::string> inlineValue_;
};

// "--" ends the options: what follows names the command's file even when it begins with "-".
// Takes args[i] when it is "--" or follows it, into name (the one file the command takes).
bool TakeName(const std::vector<std::string>& args, size_t& i, bool& namesOnly, std::string& name) {
    if (!namesOnly && args[i] != "--") return false;
    if (namesOnly) {
        if (!name.empty()) throw UsageError("unexpected argument \"" + args[i] + "\"");
        name = args[i];
    }
    namesOnly = true;
    ++i;
    return true;
}

}  // namespace

GenerateOptions ParseGenerate(const std::vector<std::string>& args) {
    GenerateOptions o;
    bool omrFormatGiven = false;
    for (size_t i = 0; i < args.size();) {
        OptionCursor opt(args, i);
        const std::string name = opt.name();
        const auto value = [&] { return opt.value(); };
        const auto flag = [&] { opt.flag(); };

        if (name == "-h" || name == "--help") {
            flag();
            o.help = true;
        } else if (name == "--from") {
            o.from = value();
            if (o.from->empty()) throw UsageError("--from wants a file name");
        } else if (name == "--layout") {
            o.layout = value();
            o.layoutGiven = true;
        } else if (name == "--title") {
            o.title = value();
        } else if (name == "--subtitle") {
            o.subtitle = value();
        } else if (name == "--setter") {
            o.setter = value();
        } else if (name == "--digits") {
            o.digits = value();
        } else if (name == "--group") {
            o.groups.push_back(ParseGroup(value()));
        } else if (name == "--fill" || name == "--answer" || name == "--essay") {
            o.sections.push_back(ParseSectionOption(name, value()));
        } else if (name == "--no-groups") {
            flag();
            o.noGroups = true;
        } else if (name == "--absent-mark") {
            flag();
            o.marks.absent = true;
        } else if (name == "--paper-types") {
            o.marks.paperTypes = value();
        } else if (name == "-o" || name == "--output") {
            o.output = value();
            o.outputGiven = true;
            if (o.output.empty()) throw UsageError(name + " wants a file name");
        } else if (name == "--pdf") {
            o.pdf = value();
            if (o.pdf->empty()) throw UsageError("--pdf wants a file name");
        } else if (name == "--png") {
            o.png = value();
            if (o.png->empty()) throw UsageError("--png wants a file name prefix");
        } else if (name == "--dpi") {
            o.dpi = ParseDpi(value());
        } else if (name == "--omr") {
            o.omr = value();
            if (o.omr->empty()) throw UsageError("--omr wants a file name");
        } else if (name == "--omr-format") {
            const std::string format = value();
            if (format != "varelo" && format != "omrchecker")
                throw UsageError("--omr-format is varelo or omrchecker, not \"" + format + "\"");
            o.omrChecker = format == "omrchecker";
            omrFormatGiven = true;
        } else if (name == "--page-code") {
            const std::string choice = value();
            if (choice != "on" && choice != "off")
                throw UsageError("--page-code is on or off, not \"" + choice + "\"");
            o.pageCode = choice == "on" ? exam::PageCodeChoice::On : exam::PageCodeChoice::Off;
        } else if (name == "--exam-id") {
            o.examId = value();
            if (!codes::IsExamId(*o.examId))
                throw UsageError("--exam-id wants 16 hexadecimal digits, not \"" + *o.examId +
                                 "\"");
        } else if (name == "--copies") {
            const std::string text = value();
            int n = 0;
            const char* end = text.data() + text.size();
            const auto [ptr, ec] = std::from_chars(text.data(), end, n);
            if (text.empty() || ec != std::errc{} || ptr != end || n < 1 || n > kMaxCopies)
                throw UsageError("--copies wants a number of sheets from 1 to " +
                                 std::to_string(kMaxCopies) + ", not \"" + text + "\"");
            o.copies = n;
        } else {
            opt.unknown();
        }
        i = opt.next();
    }
    if (o.noGroups && !o.groups.empty())
        throw UsageError("--no-groups and --group exclude each other");
    if (omrFormatGiven && !o.omr) throw UsageError("--omr-format wants --omr FILE");
    if (o.copies > 0 && !o.pdf) throw UsageError("--copies wants --pdf FILE, the one PDF of them");
    if (o.copies > 0 && o.pageCode == exam::PageCodeChoice::Off)
        throw UsageError(
            "--copies numbers the sheets by their page codes: not with --page-code off");
    return o;
}

namespace {

// A row or column number of the page grid: 1 to 32767, digits only.
int ParseGridNumber(const std::string& text, const std::string& range) {
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, n);
    if (text.empty() || text[0] == '+' || ec != std::errc{} || ptr != end || n < 1 || n > 32767)
        throw UsageError("--select wants R1,C1:R2,C2 with row and column numbers from 1, not \"" +
                         range + "\"");
    return n;
}

}  // namespace

host::CellRect ParseCellRange(const std::string& value) {
    const size_t colon = value.find(':');
    const auto corner = [&](const std::string& text) {
        const std::vector<std::string> f = SplitAtCommas(text);
        if (f.size() != 2)
            throw UsageError("--select wants R1,C1:R2,C2 (or R,C for one cell), not \"" + value +
                             "\"");
        return std::pair{ParseGridNumber(f[0], value), ParseGridNumber(f[1], value)};
    };
    const auto [r1, c1] = corner(value.substr(0, colon));
    const auto [r2, c2] =
        colon == std::string::npos ? std::pair{r1, c1} : corner(value.substr(colon + 1));
    return {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
}

std::string DescribeStep(const EditStep& step) {
    switch (step.action) {
        case EditAction::Select: {
            const host::CellRect& r = step.rect;
            return "--select " + std::to_string(r.top) + "," + std::to_string(r.left) + ":" +
                   std::to_string(r.bottom) + "," + std::to_string(r.right);
        }
        case EditAction::Box:
            return "--box";
        case EditAction::Line:
            return "--line";
        case EditAction::Merge:
            return "--merge";
        case EditAction::Composition:
            return "--composition";
    }
    return {};
}

EditOptions ParseEdit(const std::vector<std::string>& args) {
    static constexpr std::pair<const char*, EditAction> kTools[] = {
        {"--box", EditAction::Box},
        {"--line", EditAction::Line},
        {"--merge", EditAction::Merge},
        {"--composition", EditAction::Composition},
    };
    EditOptions o;
    bool selected = false, omrFormatGiven = false, namesOnly = false;
    for (size_t i = 0; i < args.size();) {
        if (TakeName(args, i, namesOnly, o.input)) continue;
        OptionCursor opt(args, i);
        const std::string& name = opt.name();
        const auto tool = std::find_if(std::begin(kTools), std::end(kTools),
                                       [&](const auto& t) { return name == t.first; });
        if (name == "-h" || name == "--help") {
            opt.flag();
            o.help = true;
        } else if (name == "--select") {
            o.steps.push_back({EditAction::Select, ParseCellRange(opt.value())});
            selected = true;
        } else if (tool != std::end(kTools)) {
            opt.flag();
            if (!selected) throw UsageError(name + " acts on a selection: put --select before it");
            o.steps.push_back({tool->second, {}});
        } else if (name == "--grid") {
            throw UsageError(
                "--grid is not an edit: gridlines are a view setting of the desktop window, not "
                "part of the document, and never print");
        } else if (name == "--omr") {
            o.omr = opt.value();
            if (o.omr->empty()) throw UsageError("--omr wants a file name");
        } else if (name == "--omr-format") {
            const std::string format = opt.value();
            if (format != "varelo" && format != "omrchecker")
                throw UsageError("--omr-format is varelo or omrchecker, not \"" + format + "\"");
            o.omrChecker = format == "omrchecker";
            omrFormatGiven = true;
        } else if (name == "--force") {
            opt.flag();
            o.force = true;
        } else if (name == "-o" || name == "--output") {
            o.output = opt.value();
            if (o.output.empty()) throw UsageError(name + " wants a file name");
        } else if (name == "--pdf") {
            o.pdf = opt.value();
            if (o.pdf->empty()) throw UsageError("--pdf wants a file name");
        } else if (name == "--png") {
            o.png = opt.value();
            if (o.png->empty()) throw UsageError("--png wants a file name prefix");
        } else if (name == "--dpi") {
            o.dpi = ParseDpi(opt.value());
        } else if (name.rfind("-", 0) == 0 || !o.input.empty()) {
            opt.unknown();
        } else {
            o.input = name;
        }
        i = opt.next();
    }
    if (o.help) return o;
    if (o.input.empty()) throw UsageError("name the sheet to edit (IN.docx)");
    if (o.output.empty()) throw UsageError("name the file to write with -o OUT.docx");
    if (omrFormatGiven && !o.omr) throw UsageError("--omr-format wants --omr FILE");
    return o;
}

BatchOptions ParseBatch(const std::vector<std::string>& args) {
    BatchOptions o;
    bool namesOnly = false;
    for (size_t i = 0; i < args.size();) {
        if (TakeName(args, i, namesOnly, o.jobs)) continue;
        OptionCursor opt(args, i);
        const std::string& name = opt.name();
        if (name == "-h" || name == "--help") {
            opt.flag();
            o.help = true;
        } else if (name == "-o" || name == "--output") {
            o.folder = opt.value();
            if (o.folder.empty()) throw UsageError(name + " wants a folder");
        } else if (name == "--pdf" || name == "--png" || name == "--omr") {
            opt.flag();
            (name == "--pdf" ? o.pdf : name == "--png" ? o.png : o.omr) = true;
        } else if (name == "--dpi") {
            o.dpi = ParseDpi(opt.value());
        } else if (name == "--omr-format") {
            const std::string format = opt.value();
            if (format != "varelo" && format != "omrchecker")
                throw UsageError("--omr-format is varelo or omrchecker, not \"" + format + "\"");
            o.omrChecker = format == "omrchecker";
        } else if (name == "--threads") {
            const std::string text = opt.value();
            unsigned n = 0;
            const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (ec != std::errc() || ptr != text.data() + text.size() || n < 1 || n > 64)
                throw UsageError("--threads wants a whole number from 1 to 64, not \"" + text +
                                 "\"");
            o.threads = n;
        } else if (name.rfind("-", 0) == 0 || !o.jobs.empty()) {
            opt.unknown();
        } else {
            o.jobs = name;
        }
        i = opt.next();
    }
    if (!o.help && o.jobs.empty()) throw UsageError("name the JSON job file");
    return o;
}

}  // namespace varelo::cli
