// Templates, keys and scans that are damaged, hand-edited or hostile: each is refused with a
// message or read as a scan that shows no sheet, never a crash, a hang or a silent misreading.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>

#include "base/read_error.h"
#include "omr/template_file.h"
#include "read/scan_simulator.h"
#include "scan/scan_pictures.h"
#include "scan/scan_source.h"
#include "scan/sheet_results.h"
#include "scores/answer_key.h"

using namespace varelo;
using nlohmann::json;

namespace {

// What reading the text says: "accepted", or the refusal's message.
std::string Refusal(const std::function<void()>& read) {
    try {
        read();
    } catch (const read::ReadError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(ReadBadInput, TemplatesOutOfBoundsAreRefused) {
    const layout::OmrTemplate sheet = scansim::MakeSheet("A4单栏")->omr;
    const json good = json::parse(layout::OmrTemplateJson(sheet));
    ASSERT_EQ(Refusal([&] { read::ParseTemplate(good.dump()); }), "accepted");
    const std::vector<std::pair<std::function<void(json&)>, std::string>> cases = {
        {[](json& j) { j["format"] = 5; },
         "not a Varelo scanner template (\"format\" is not \"varelo-omr-template\")"},
        {[](json& j) { j["title"] = 7; }, "the template's title must be text"},
        {[](json& j) { j["groups"][0] = 3; }, "the template's groups[0] must be an object"},
        {[](json& j) { j["pages"][0]["width"] = 1e300; },
         "the template's pages[0] must be 1 to 5000 mm wide and high"},
        {[](json& j) { j["pages"][0]["height"] = 1e-300; },
         "the template's pages[0] must be 1 to 5000 mm wide and high"},
        {[](json& j) { j["items"][0]["options"][0]["page"] = 4294967297u; },
         "the template's items[0].options[0].page is out of range"},
        {[](json& j) { j["items"][2]["number"] = -4294967295LL; },
         "the template's items[2].number is out of range"},
        {[](json& j) { j["items"][1]["number"] = 1; },
         "the template's items[1].number repeats item 1"},
        {[](json& j) { j["items"][0]["options"][1]["label"] = "A"; },
         "the template's items[0].options[1].label repeats A"},
        {[](json& j) { j["items"][0]["options"][1]["label"] = ""; },
         "the template's items[0].options[1].label is empty"},
        {[](json& j) { j["items"][0]["options"][0]["rect"]["x"] = -1e308; },
         "the template's items[0].options[0].rect must lie on its page"},
        {[](json& j) { j["pages"][0]["marks"][0]["rect"]["y"] = 1e308; },
         "the template's pages[0].marks[0].rect must lie on its page"},
        {[](json& j) { j["candidateNumber"]["columns"][0]["bubbles"][0]["rect"]["height"] = 40; },
         "the template's candidateNumber.columns[0].bubbles[0].rect must be at most a tenth of "
         "its page's width and height"},
        {[](json& j) { j["items"][0]["points"] = 1e300; },
         "the template's items[0].points must be from 0 to 1000000"},
        {[](json& j) {
             for (int i = 0; i < 16; ++i) j["pages"].push_back(j["pages"][0]);
         },
         "the template has more than 16 pages"},
        {[](json& j) {
             json& options = j["items"][0]["options"];
             while (options.size() <= 20000) options.push_back(options[0]);
         },
         "the template has more than 20000 bubbles"},
    };
    for (const auto& [edit, message] : cases) {
        json bad = good;
        edit(bad);
        EXPECT_EQ(Refusal([&] { read::ParseTemplate(bad.dump()); }), message) << message;
    }
    // Numbers past double's range fail the parse as out_of_range, not parse_error.
    const std::string badTemplate = Refusal([] { read::ParseTemplate(R"({"format": 1e400})"); });
    EXPECT_EQ(badTemplate.rfind("the template is not valid JSON: ", 0), 0u) << badTemplate;
    const std::string badKey = Refusal([&] { read::ParseAnswerKey(R"({"1": 1e400})", sheet); });
    EXPECT_EQ(badKey.rfind("the key is not valid JSON: ", 0), 0u) << badKey;
    // A folder, and a device that never ends, refused unread.
    const std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(Refusal([&] { read::LoadTemplate(folder); }),
              folder + " is a folder, not the template");
    EXPECT_EQ(Refusal([] { read::LoadTemplate("/dev/zero"); }),
              "/dev/zero is a device, not the template");
    EXPECT_EQ(Refusal([&] { read::LoadAnswerKey("/dev/zero", sheet); }),
              "/dev/zero is a device, not the key");
}

// A label holding the CSV's separator or quote stays in its column.
TEST(ReadBadInput, LabelsAreQuotedInTheResults) {
    layout::OmrTemplate t = scansim::MakeSheet("A4单栏")->omr;
    t.items[0].options[0].value = "A,\"";
    read::ScanReading r{"scan", {}, {}, read::BubbleReadings(t)};
    r.registration.ok = true;
    r.registration.page = 1;
    for (auto* bubbles : {&r.bubbles.candidate, &r.bubbles.items})
        for (auto& group : *bubbles)
            for (read::BubbleReading& b : group) b.read = true;
    r.bubbles.items[0][0].decision = read::Decision::Filled;
    const std::vector<read::ScanReading> scans{r};
    const std::string csv =
        read::ResultsCsv(t, scans, read::AssembleSheets(t, scans, nullptr), false);
    EXPECT_NE(csv.find(",?????????,\"A,\"\"\",,"), std::string::npos) << csv;
}

TEST(ReadBadInput, ScansThatShowNoSheetAreRefusedOrUnread) {
    const auto sheet = scansim::MakeSheet("A4单栏");
    const layout::OmrTemplate& t = sheet->omr;
    std::vector<uchar> png;
    cv::imencode(".png", cv::Mat(40, 40, CV_8UC1, cv::Scalar(255)), png);
    png.resize(png.size() / 2);
    EXPECT_EQ(Refusal([&] { read::DecodeScan(png); }), "cannot decode the image");
    EXPECT_EQ(Refusal([&] { read::DecodeScan({}); }), "cannot decode the image");

    // Slivers: reduced for registration and for the review picture, they keep a pixel.
    for (const cv::Size size : {cv::Size(1, 1), cv::Size(1, 3200000), cv::Size(3200000, 2)}) {
        const cv::Mat grey(size, CV_8UC1, cv::Scalar(128));
        const read::ScanReading r = read::ReadScan(t, "sliver", grey);
        EXPECT_FALSE(r.error.empty()) << size;
        EXPECT_FALSE(read::ReviewPicture(t, r, grey, "error").empty()) << size;
    }

    // A page picture past 300 million pixels is refused before it is allocated.
    layout::OmrTemplate poster = t;
    poster.pages[0].width = poster.pages[0].height = 5000;
    read::ScanReading r{"poster", {}, {}, read::BubbleReadings(poster)};
    r.registration.ok = true;
    r.registration.page = 1;
    r.registration.toScan = cv::Matx23d(1, 0, 0, 0, 1, 0);
    EXPECT_EQ(Refusal([&] { read::AlignedPage(poster, r, cv::Mat(8, 8, CV_8UC1), 1200); }),
              "the picture at 1200 dpi would be larger than 300 million pixels; choose a lower "
              "--dpi");

    // A PDF page of 2.5 m a side would be 400 million pixels at 200 dpi.
    const auto dir = std::filesystem::temp_directory_path() / "varelo_read_bad_input";
    std::filesystem::create_directories(dir);
    scansim::WritePdf(cv::Mat(100, 100, CV_8UC1, cv::Scalar(255)), dir / "poster.pdf", 1);
    EXPECT_EQ(Refusal([&] {
                  read::LoadScan({(dir / "poster.pdf").string(), 1}, 200);
              }),
              "the PDF page at 200 dpi is larger than 150 million pixels");
    std::filesystem::remove_all(dir);
}

}  // namespace
