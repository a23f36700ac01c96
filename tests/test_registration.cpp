#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/desk/addin/registration.h"

using namespace varelo::host;
namespace fs = std::filesystem;

namespace {

class Registration : public ::testing::Test {
  protected:
    fs::path dir = fs::temp_directory_path() / ("varelo-reg-" + std::to_string(::getpid()));
    std::string file = (dir / "varelo" / "addins.json").string();
    void SetUp() override { fs::remove_all(dir); }
    void TearDown() override { fs::remove_all(dir); }

    std::string Read() const {
        std::ifstream in(file);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Write(const std::string& text) const {
        fs::create_directories(fs::path(file).parent_path());
        std::ofstream(file) << text;
    }
};

// Restores an environment variable when the test ends.
struct EnvGuard {
    std::string name;
    std::optional<std::string> old;
    explicit EnvGuard(std::string n) : name(std::move(n)) {
        if (const char* v = std::getenv(name.c_str())) old = v;
    }
    ~EnvGuard() {
        if (old)
            ::setenv(name.c_str(), old->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
};

}  // namespace

TEST_F(Registration, FileFollowsXdgConfigHomeAndFallsBackToHome) {
    EnvGuard xdg("XDG_CONFIG_HOME"), home("HOME");
    ::setenv("HOME", "/home/teacher", 1);
    struct Case {
        const char* xdg;  // nullptr: unset
        const char* expected;
    } cases[] = {
        {"/tmp/cfg", "/tmp/cfg/varelo/addins.json"},
        {nullptr, "/home/teacher/.config/varelo/addins.json"},
        {"", "/home/teacher/.config/varelo/addins.json"},
        {"relative/cfg", "/home/teacher/.config/varelo/addins.json"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xdg ? c.xdg : "(unset)");
        if (c.xdg)
            ::setenv("XDG_CONFIG_HOME", c.xdg, 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(AddInsFile(), c.expected);
    }
}

TEST_F(Registration, FreshInstallRegistersItselfAndUnregisteringIsRespected) {
    EXPECT_TRUE(ReadAddIns(file).empty());
    EXPECT_EQ(StartupAddIns(file), std::vector<AddInRecord>{VareloAddIn()});
    const auto stored = ReadAddIns(file);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].progId, "VekoTest.Connect");
    EXPECT_EQ(stored[0].friendlyName, "Varelo");
    EXPECT_EQ(stored[0].description, "Varelo－－试卷制作插件");
    EXPECT_EQ(stored[0].loadBehavior, 3);

    AddInRecord off = VareloAddIn();
    off.loadBehavior = kLoadNever;
    WriteAddIn(file, off);
    EXPECT_TRUE(StartupAddIns(file).empty());
    EXPECT_EQ(FindAddIn(ReadAddIns(file), "VekoTest.Connect")->loadBehavior, 0);

    WriteAddIn(file, VareloAddIn());
    EXPECT_EQ(StartupAddIns(file).size(), 1u);
}

TEST_F(Registration, WritingKeepsOtherAddInsAndUnknownFields) {
    Write(R"({"Other.Addin": {"FriendlyName": "Other", "LoadBehavior": 3},
              "VekoTest.Connect": {"LoadBehavior": 0, "Path": "/opt/varelo"}})");
    WriteAddIn(file, VareloAddIn());
    const auto json = nlohmann::json::parse(Read());
    EXPECT_EQ(json["Other.Addin"]["FriendlyName"], "Other");
    EXPECT_EQ(json["VekoTest.Connect"]["Path"], "/opt/varelo");
    EXPECT_EQ(json["VekoTest.Connect"]["LoadBehavior"], 3);
    // Both load at start-up; the host decides which of them it knows how to connect.
    EXPECT_EQ(StartupAddIns(file).size(), 2u);
}

TEST_F(Registration, DamagedFileIsLeftAloneAndTheAddInStillLoads) {
    for (const char* text : {"{not json", "[1, 2]", ""}) {
        SCOPED_TRACE(text);
        Write(text);
        std::string warning;
        EXPECT_EQ(StartupAddIns(file, &warning), std::vector<AddInRecord>{VareloAddIn()});
        EXPECT_NE(warning.find("addins.json"), std::string::npos);
        EXPECT_EQ(Read(), text);
        EXPECT_THROW(WriteAddIn(file, VareloAddIn()), RegistrationError);
        EXPECT_EQ(Read(), text);
    }
}

TEST_F(Registration, EntriesOfTheWrongShapeAreNotLoaded) {
    Write(R"({"A": 3, "B": {"LoadBehavior": "3"}, "C": {"LoadBehavior": 3.5},
              "VekoTest.Connect": {"LoadBehavior": 0}})");
    EXPECT_TRUE(StartupAddIns(file).empty());
}
