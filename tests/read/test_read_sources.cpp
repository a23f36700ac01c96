// What varelo read is given to read: every page of every file is a scan or an error row, a
// file that is no file is refused by its type without waiting on it, and a run that cannot
// read or write anything leaves the earlier results alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "doc/errors.h"
#include "docx/reader.h"
#include "options.h"
#include "read/results_csv.h"
#include "read/scan_simulator.h"
#include "read_command.h"

using namespace varelo;
using varelo::testing::CsvRows;
using varelo::testing::Slurp;
namespace fs = std::filesystem;

namespace {

uint32_t Be32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
    return v;
}

std::string Be32(uint32_t v) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>(v >> shift & 0xff);
    return s;
}

// An animated PNG of the pictures (of one size), each frame the whole picture.
std::string AnimatedPng(const std::vector<cv::Mat>& pictures) {
    const auto chunk = [](const std::string& type, const std::string& data) {
        const std::string body = type + data;
        const auto* bytes = reinterpret_cast<const Bytef*>(body.data());
        return Be32(static_cast<uint32_t>(data.size())) + body +
               Be32(static_cast<uint32_t>(crc32(0, bytes, static_cast<uInt>(body.size()))));
    };
    std::string out("\x89PNG\r\n\x1a\n", 8);
    uint32_t sequence = 0;
    for (size_t k = 0; k < pictures.size(); ++k) {
        std::vector<uchar> encoded;
        cv::imencode(".png", pictures[k], encoded);
        const std::string png(encoded.begin(), encoded.end());
        std::string header, pixels;
        for (size_t at = 8; at + 12 <= png.size(); at += Be32(png, at) + 12) {
            const std::string type = png.substr(at + 4, 4),
                              data = png.substr(at + 8, Be32(png, at));
            if (type == "IHDR") header = data;
            if (type == "IDAT") pixels += data;
        }
        if (k == 0)
            out += chunk("IHDR", header) +
                   chunk("acTL", Be32(static_cast<uint32_t>(pictures.size())) + Be32(0));
        out += chunk("fcTL", Be32(sequence++) + header.substr(0, 8) + Be32(0) + Be32(0) +
                                 std::string("\0\1\0\1\0\0", 6));
        out += k == 0 ? chunk("IDAT", pixels) : chunk("fdAT", Be32(sequence++) + pixels);
    }
    return out + chunk("IEND", "");
}

// Opens a FIFO for writing, and closes it at once, until stopped: a reader that opened it
// blocking is let go with an empty file instead of hanging the test.
class FifoReleaser {
  public:
    explicit FifoReleaser(fs::path fifo)
        : thread_([this, fifo] {
              std::this_thread::sleep_for(std::chrono::seconds(2));
              while (!stop_) {
                  const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                  if (fd >= 0) close(fd);
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          }) {}
    ~FifoReleaser() {
        stop_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class ReadSources : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        dir = fs::temp_directory_path() / ("varelo-read-sources-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "scans");
        sheet = scansim::MakeSheet("A4单栏");
        layout::WriteOmrTemplate(sheet->omr, tmpl.string(), layout::OmrFormat::Varelo, 150);
        printed = scansim::PrintVarelo(*sheet->doc, 200);
    }
    void TearDown() override {
        fs::remove_all(dir);
        fs::remove(tmpl);
    }

    // A filled page 1, scanned; its answers go to answers.
    cv::Mat FilledScan() {
        answers.push_back(scansim::RandomAnswers(sheet->omr, rng));
        std::vector<cv::Mat> pages{printed[0].clone()};
        scansim::FillAnswers(pages, sheet->omr, answers.back(), 200, rng);
        return scansim::Scan(pages[0], scanner, 200, rng);
    }
    // RunRead, with what it said on stderr.
    int Run(const std::vector<std::string>& args, std::string& said) {
        ::testing::internal::CaptureStderr();
        const int status = cli::RunRead(args);
        said = ::testing::internal::GetCapturedStderr();
        return status;
    }

    fs::path dir;
    fs::path tmpl = fs::temp_directory_path() /
                    ("varelo-read-sources-omr-" + std::to_string(getpid()) + ".json");
    std::unique_ptr<scansim::Sheet> sheet;
    std::vector<cv::Mat> printed;
    std::mt19937 rng{28};
    scansim::Scanner scanner{0.8, false, 2, -1, 1.0, 0.6, 3, 0, 240, false};
    std::vector<scansim::Answers> answers;
};

TEST_F(ReadSources, EveryPageOfAMultiPageImageIsAScan) {
    // An animated PNG; what document scanners write, one TIFF of the whole stack; and a TIFF
    // of one page.
    const std::vector<cv::Mat> frames{FilledScan(), FilledScan()};
    ASSERT_EQ(frames[0].size(), frames[1].size());
    std::ofstream(dir / "scans" / "anim.png", std::ios::binary) << AnimatedPng(frames);
    const std::vector<cv::Mat> stack{FilledScan(), FilledScan(), FilledScan()};
    ASSERT_TRUE(cv::imwritemulti((dir / "scans" / "stack.tif").string(), stack));
    ASSERT_TRUE(cv::imwrite((dir / "scans" / "zone.tif").string(), FilledScan()));
    const fs::path csv = dir / "r.csv";
    std::string said;
    ASSERT_EQ(Run({tmpl.string(), (dir / "scans").string(), "-o", csv.string(), "--headers", "en",
                   "--review", (dir / "review").string()},
                  said),
              0)
        << said;
    const auto rows = CsvRows(csv);
    const std::vector<std::string> names{"anim.png#1",  "anim.png#2",  "stack.tif#1",
                                         "stack.tif#2", "stack.tif#3", "zone.tif"};
    ASSERT_EQ(rows.size(), names.size() + 1);
    for (size_t r = 1; r < rows.size(); ++r) {
        EXPECT_EQ(fs::path(rows[r][0]).filename().string(), names[r - 1]);
        EXPECT_EQ(rows[r][1], "ok") << names[r - 1] << ": " << rows[r].back();
        EXPECT_EQ(rows[r][2], answers[r - 1].candidate) << names[r - 1];
    }
    for (const char* picture :
         {"1-anim-1.png", "2-anim-2.png", "3-stack-1.png", "5-stack-3.png", "6-zone.png"})
        EXPECT_TRUE(fs::exists(dir / "review" / picture)) << picture;
}

TEST_F(ReadSources, UnreadablePdfsAreErrorRowsAndRunsWithNothingReadTouchNoResults) {
    cv::imwrite((dir / "scans" / "a.png").string(), FilledScan());
    std::ofstream(dir / "scans" / "b-empty.pdf").flush();
    scansim::WritePdf(FilledScan(), dir / "whole.pdf", 200);
    const std::string whole = Slurp(dir / "whole.pdf");
    std::ofstream(dir / "scans" / "c-cut.pdf", std::ios::binary) << whole.substr(0, 40);
    std::ofstream(dir / "scans" / "d-no-pages.pdf")
        << "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
           "2 0 obj << /Type /Pages /Kids [] /Count 0 >> endobj\n"
           "trailer << /Root 1 0 R >>\n%%EOF\n";
    const fs::path csv = dir / "r.csv";
    std::string said;
    EXPECT_EQ(
        Run({tmpl.string(), (dir / "scans").string(), "-o", csv.string(), "--headers", "en"}, said),
        1);
    const auto rows = CsvRows(csv);
    ASSERT_EQ(rows.size(), 5u) << said;
    EXPECT_EQ(rows[1][1], "ok");
    const std::vector<std::pair<std::string, std::string>> errors{
        {"b-empty.pdf", "the PDF is empty"},
        {"c-cut.pdf", "cannot open the PDF: it is damaged or not a PDF"},
        {"d-no-pages.pdf", "the PDF has no pages"}};
    for (size_t e = 0; e < errors.size(); ++e) {
        EXPECT_EQ(fs::path(rows[e + 2][0]).filename().string(), errors[e].first);
        EXPECT_EQ(rows[e + 2][1], "error");
        EXPECT_EQ(rows[e + 2].back(), errors[e].second);
    }

    // An empty folder, one of files that are no scans, one of unreadable PDFs: the results of
    // an earlier run stay as they were.
    std::ofstream(csv) << "kept";
    fs::create_directories(dir / "empty");
    fs::create_directories(dir / "notes");
    std::ofstream(dir / "notes" / "notes.txt") << "text";
    fs::create_directories(dir / "bad");
    fs::copy_file(dir / "scans" / "b-empty.pdf", dir / "bad" / "empty.pdf");
    fs::copy_file(dir / "scans" / "c-cut.pdf", dir / "bad" / "cut.pdf");
    for (const char* folder : {"empty", "notes", "bad"}) {
        EXPECT_EQ(Run({tmpl.string(), (dir / folder).string(), "-o", csv.string()}, said), 1)
            << folder;
        EXPECT_EQ(Slurp(csv), "kept") << folder;
        EXPECT_FALSE(said.empty()) << folder;
    }
    // A blank page decodes but shows no marks: its review picture must not replace the
    // earlier run's either.
    fs::create_directories(dir / "blank");
    cv::imwrite((dir / "blank" / "page.png").string(), cv::Mat(400, 300, CV_8UC1, cv::Scalar(255)));
    const fs::path review = dir / "review";
    fs::create_directories(review);
    std::ofstream(review / "1-page.png") << "kept";
    EXPECT_EQ(Run({tmpl.string(), (dir / "blank").string(), "-o", csv.string(), "--review",
                   review.string()},
                  said),
              1);
    EXPECT_EQ(Slurp(csv), "kept");
    EXPECT_EQ(Slurp(review / "1-page.png"), "kept");
    // Beside a scan that reads, the blank page's picture is drawn after all.
    cv::imwrite((dir / "blank" / "sheet.png").string(), FilledScan());
    EXPECT_EQ(Run({tmpl.string(), (dir / "blank").string(), "-o", csv.string(), "--review",
                   review.string()},
                  said),
              1);
    EXPECT_EQ(Slurp(review / "1-page.png").substr(1, 3), "PNG");
    EXPECT_TRUE(fs::exists(review / "2-sheet.png"));
}

TEST_F(ReadSources, LoopsPipesAndDevicesAreRefusedByTheirType) {
    cv::imwrite((dir / "scans" / "sheet.png").string(), FilledScan());
    // Loops named before and after the scan, whatever order the folder lists them in.
    fs::create_symlink("b.png", dir / "scans" / "a.png");
    fs::create_symlink("a.png", dir / "scans" / "b.png");
    fs::create_symlink("zz.png", dir / "scans" / "zz.png");
    fs::create_symlink("0.pdf", dir / "scans" / "0.pdf");
    fs::create_symlink("nowhere.png", dir / "scans" / "gone.png");
    const fs::path fifoInFolder = dir / "scans" / "pipe.png";
    ASSERT_EQ(mkfifo(fifoInFolder.c_str(), 0600), 0);
    const fs::path csv = dir / "r.csv";
    std::string said;
    {
        const FifoReleaser release(fifoInFolder);
        EXPECT_EQ(Run({tmpl.string(), (dir / "scans").string(), "-o", csv.string()}, said), 0)
            << said;
    }
    EXPECT_EQ(CsvRows(csv).size(), 2u);
    for (const char* skipped :
         {"a.png is skipped: it is a symlink loop", "zz.png is skipped: it is a symlink loop",
          "0.pdf is skipped: it is a symlink loop",
          "gone.png is skipped: it is a symlink to nothing",
          "pipe.png is skipped: it is a pipe (FIFO)"})
        EXPECT_NE(said.find(skipped), std::string::npos) << skipped << " in " << said;

    // As the template, the key or a scan named on the command line, and as the sheet to edit.
    const fs::path fifo = dir / "fifo.json";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const FifoReleaser release(fifo);
    const std::string scan = (dir / "scans" / "sheet.png").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{fifo.string(), scan}, fifo.string() + " is a pipe (FIFO), not the template"},
        {{tmpl.string(), scan, "--key", fifo.string()},
         fifo.string() + " is a pipe (FIFO), not the key"},
        {{tmpl.string(), fifo.string()}, fifo.string() + " is a pipe (FIFO), not a scan"},
        {{tmpl.string(), "/dev/null"}, "/dev/null is a device, not a scan"},
        {{"/dev/zero", scan}, "/dev/zero is a device, not the template"},
        {{tmpl.string(), (dir / "scans" / "a.png").string()},
         (dir / "scans" / "a.png").string() + " is a symlink loop, not a scan"},
    };
    for (auto [args, message] : cases) {
        args.insert(args.end(), {"-o", csv.string()});
        EXPECT_EQ(Run(args, said), 1) << message;
        EXPECT_EQ(said, "varelo read: " + message + "\n");
    }
    try {
        host::OpenDocx(fifo.string());
        ADD_FAILURE() << "a FIFO opened as a sheet";
    } catch (const host::OpenError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open \"" + fifo.string() + "\": it is a pipe (FIFO), not a file.");
    }
}

TEST_F(ReadSources, OptionsEndAtDoubleDashAndOutputsAreCheckedBeforeReading) {
    const cli::ReadOptions o = cli::ParseRead({"t.json", "-o", "r.csv", "--", "-1.png", "--json"});
    EXPECT_EQ(o.scans, (std::vector<std::string>{"-1.png", "--json"}));
    EXPECT_EQ(o.json, "");
    EXPECT_EQ(cli::ParseEdit({"-o", "out.docx", "--", "-in.docx"}).input, "-in.docx");
    EXPECT_EQ(cli::ParseBatch({"--", "--jobs.json"}).jobs, "--jobs.json");
    EXPECT_THROW(cli::ParseEdit({"-o", "out.docx", "--", "a.docx", "b.docx"}), cli::UsageError);

    const fs::path scan = dir / "-1.png";
    cv::imwrite(scan.string(), FilledScan());
    const fs::path csv = dir / "r.csv";
    std::string said;
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    const int status = Run({tmpl.string(), "-o", csv.string(), "--", "-1.png"}, said);
    fs::current_path(before);
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(CsvRows(csv).at(1).at(0), "'-1.png");  // a ' first: no spreadsheet computes it

    // A read-only result file: refused before any scan is read.
    std::ofstream(csv) << "kept";
    fs::permissions(csv, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(Run({tmpl.string(), scan.string(), "-o", csv.string(), "--review",
                   (dir / "review").string()},
                  said),
              1);
    EXPECT_EQ(said, "varelo read: -o: " + csv.string() + " is read-only\n");
    EXPECT_EQ(Slurp(csv), "kept");
    EXPECT_TRUE(fs::is_empty(dir / "review"));

    // A --crops symlink to a folder that is gone.
    fs::create_symlink(dir / "gone", dir / "crops");
    EXPECT_EQ(Run({tmpl.string(), scan.string(), "-o", (dir / "r2.csv").string(), "--crops",
                   (dir / "crops").string()},
                  said),
              1);
    EXPECT_EQ(said, "varelo read: --crops: " + (dir / "crops").string() + " is a symlink to " +
                        (dir / "gone").string() + ", which does not exist\n");
    EXPECT_FALSE(fs::exists(dir / "r2.csv"));

    // A scan the user may not read says so, not that it cannot be decoded.
    if (geteuid() != 0) {
        fs::permissions(scan, fs::perms::none);
        EXPECT_EQ(Run({tmpl.string(), scan.string(), "-o", (dir / "r3.csv").string()}, said), 1);
        EXPECT_NE(said.find("cannot open the scan: permission denied"), std::string::npos) << said;
    }
}

}  // namespace
