// Messages: each says plainly what is wrong with which file or value, and nothing a user or a
// job file typed reaches the terminal as a control character.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/printable.h"
#include "batch.h"
#include "cli_run.h"
#include "options.h"
#include "temp_dir.h"

using namespace varelo;

TEST(Messages, ControlCharactersAreSpeltOutAndTextIsKept) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"期末考试 sheet.docx", "期末考试 sheet.docx"},
        {"a\x1b[31mb", "a\\x1B[31mb"},
        {"line\nbreak\ttab\r", "line\\nbreak\\ttab\\r"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"del\x7f", "del\\x7F"},
        {"c1\xc2\x9b", "c1\\u{009B}"},                        // the one-byte CSI
        {"evil\xe2\x80\xaetxt.exe", "evil\\u{202E}txt.exe"},  // a right-to-left override
        {"bad\xff", "bad\\xFF"},
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(host::Printable(text), shown);
    EXPECT_EQ(host::Printable("two\nlines", /*keepNewlines=*/true), "two\nlines");
    EXPECT_EQ(host::Quoted("a\"b"), "\"a\"b\"");
}

TEST(Messages, JobFileFaultsNameTheKeyOrValue) {
    const auto jobs = cli::ParseJobs(R"([{"layuot": "A4单栏"}, {"output": "a\u0000b.docx"},
        {"groups": [{"itmes": 3}]}, {"pdf": "yes"}, {}])");
    ASSERT_EQ(jobs.size(), 5u);
    EXPECT_EQ(jobs[0].error, "unknown key \"layuot\"");
    EXPECT_EQ(jobs[1].error,
              "\"output\" \"a\\x00b.docx\" holds a NUL character, which no file name can");
    EXPECT_EQ(jobs[2].error, "a group has an unknown key \"itmes\"");
    EXPECT_EQ(jobs[3].error, "\"pdf\" must be true or false, not \"yes\"");
    EXPECT_TRUE(jobs[4].error.empty());
    try {
        cli::ParseJobs("[{},\n {\"digits\": 1e999}]");
        ADD_FAILURE() << "accepted";
    } catch (const cli::JobFileError& e) {
        EXPECT_STREQ(e.what(),
                     "not valid JSON: the number 1e999 at line 2, column 13 is too large to be a "
                     "number (at most about 1.8e308)");
    }
}

TEST(Messages, NamesReachTheTerminalWithoutControlCharacters) {
    const auto run =
        varelo::testing::RunVarelo("edit \"$(printf 'missing\\033[2J.docx')\" -o out.docx");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("missing\\x1B[2J.docx"), std::string::npos) << run.output;
}

TEST(Messages, EveryOptionInEveryHelpHasAnExample) {
    // varelo read lives in a module of its own: its help comes from the program.
    const std::string readHelp = varelo::testing::RunVarelo("read --help").output;
    for (const char* help :
         {cli::kMainHelp, cli::kGenerateHelp, cli::kBatchHelp, cli::kEditHelp, readHelp.c_str()}) {
        // An option's entry runs from its line "  -..." to the next option or blank line.
        std::istringstream in(help);
        std::string entry;
        const auto check = [&] {
            if (!entry.empty()) {
                EXPECT_NE(entry.find("e.g."), std::string::npos) << entry;
            }
            entry.clear();
        };
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("  -", 0) == 0 || line.empty()) check();
            if (line.rfind("  -", 0) == 0 || !entry.empty()) entry += line + "\n";
        }
        check();
    }
}

// A picture larger than the reader takes is refused from its header, before OpenCV decodes it
// (a few kilobytes of PNG can ask for 400 MB): this one holds only its first rows, which a
// decoder would take for a damaged file after allocating the whole image.
TEST(Messages, AScanTooLargeIsRefusedFromItsHeader) {
    const varelo::testing::TempDir dir("varelo-bomb");
    const std::string d = dir.path().string();
    ASSERT_EQ(varelo::testing::RunVarelo("generate --layout B5单栏 -o " + d + "/s.docx --omr " + d +
                                         "/t.json")
                  .status,
              0);
    const auto chunk = [](const std::string& type, const std::string& data) {
        std::string out;
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>((data.size() >> shift) & 0xFF);
        const std::string body = type + data;
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
        out += body;
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>((crc >> shift) & 0xFF);
        return out;
    };
    // 20000 x 20000, 8-bit grey; the first rows of zeros.
    const std::string header("\0\0\x4e\x20\0\0\x4e\x20\x08\0\0\0\0", 13);
    const std::string rows(4 * 20001, '\0');
    std::string deflated(compressBound(static_cast<uLong>(rows.size())), '\0');
    uLongf size = static_cast<uLongf>(deflated.size());
    ASSERT_EQ(
        compress(reinterpret_cast<Bytef*>(deflated.data()), &size,
                 reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size())),
        Z_OK);
    deflated.resize(size);
    std::ofstream(d + "/bomb.png", std::ios::binary)
        << "\x89PNG\r\n\x1a\n"
        << chunk("IHDR", header) << chunk("IDAT", deflated);
    const varelo::testing::CliRun run =
        varelo::testing::RunVarelo("read " + d + "/t.json " + d + "/bomb.png -o " + d + "/r.csv");
    EXPECT_NE(run.output.find("bomb.png: the image is larger than 150 million pixels"),
              std::string::npos)
        << run.output;
}
