// `varelo edit --omr`: the scanner template of a saved sheet, from the settings it carries or,
// without them, from its grid.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli_run.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using varelo::testing::ReadFile;
using varelo::testing::RunVarelo;

TEST(EditTemplate, AnEditedSheetExportsTheTemplateItWasMadeWith) {
    const varelo::testing::TempDir tmp("varelo-edit-omr");
    const fs::path dir = tmp.path();
    ASSERT_FALSE(dir.empty());
    const std::string d = dir.string() + "/";
    ASSERT_EQ(
        RunVarelo("generate --layout A4单栏 --digits 7 -o " + d + "s.docx --omr " + d + "made.json")
            .status,
        0);
    // Merging an empty box moves no bubble: the template is the one of the sheet as saved.
    // (It differs from generation's by the page size read back from twips, 0.01 mm at most.)
    const auto plain = RunVarelo("edit " + d + "s.docx -o " + d + "p.docx --omr " + d + "p.json");
    ASSERT_EQ(plain.status, 0) << plain.output;
    const auto run = RunVarelo("edit " + d + "s.docx -o " + d + "e.docx --select 100,3:103,20 " +
                               "--merge --omr " + d + "edited.json");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadFile(dir / "edited.json"), ReadFile(dir / "p.json"));
    EXPECT_NE(ReadFile(dir / "edited.json").find("\"layout\": \"A4单栏\""), std::string::npos);
    EXPECT_NE(ReadFile(dir / "edited.json").find("\"digits\": 7"), std::string::npos);

    // Without its settings part the sheet's grid gives the same template; with written-answer
    // sections it cannot, and nothing is written.
    ASSERT_EQ(
        RunVarelo("generate --layout A4单栏 --digits 7 --fill 填空题,4,1,2 -o " + d + "w.docx")
            .status,
        0);
    // With its settings, a sheet with written sections exports their regions, as the help says.
    const auto regions = RunVarelo("edit " + d + "w.docx -o " + d + "r.docx --omr " + d + "r.json");
    ASSERT_EQ(regions.status, 0) << regions.output;
    EXPECT_NE(ReadFile(dir / "r.json").find("\"kind\": \"填空\""), std::string::npos);
    const std::string help = RunVarelo("edit --help").output;
    const size_t omr = help.find("  --omr FILE");
    ASSERT_NE(omr, std::string::npos);
    const std::string omrHelp = help.substr(omr, help.find("  --omr-format") - omr);
    EXPECT_NE(omrHelp.find("written-answer sections, their\n                        regions too"),
              std::string::npos)
        << omrHelp;
    for (const char* name : {"s", "w"}) {
        auto doc = varelo::host::OpenDocx(d + name + ".docx");
        doc->customXml.clear();
        varelo::host::SaveDocx(*doc, d + name + "-bare.docx");
    }
    const auto bare =
        RunVarelo("edit " + d + "s-bare.docx -o " + d + "b.docx --omr " + d + "bare.json");
    ASSERT_EQ(bare.status, 0) << bare.output;
    EXPECT_EQ(ReadFile(dir / "bare.json"), ReadFile(dir / "p.json"));
    const auto written =
        RunVarelo("edit " + d + "w-bare.docx -o " + d + "x.docx --omr " + d + "x.json");
    EXPECT_EQ(written.status, 1);
    EXPECT_NE(written.output.find("written-answer sections"), std::string::npos) << written.output;
    EXPECT_FALSE(fs::exists(dir / "x.docx"));

    const auto wrong = RunVarelo("edit " + d + "s.docx -o " + d + "f.docx --omr-format omrchecker");
    EXPECT_EQ(wrong.status, 2) << wrong.output;
    EXPECT_NE(wrong.output.find("--omr-format wants --omr FILE"), std::string::npos);
    fs::remove_all(dir);
}
