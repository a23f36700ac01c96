// Inputs that once made a fuzz target fail, fed to that target's entry point in the ordinary
// build: tests/regressions/<target>/ holds them, each file named after the fault it found. The
// target checks its own promises and aborts on a broken one, so each file is a test of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> Inputs() {
    std::vector<std::filesystem::path> out;
    const std::filesystem::path dir =
        std::filesystem::path(VARELO_SOURCE_DIR) / "tests/regressions" / VARELO_FUZZ_TARGET;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.is_regular_file()) out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

class FuzzRegression : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(FuzzRegression, InputKeepsTheTargetsPromises) {
    std::ifstream in(GetParam(), std::ios::binary);
    ASSERT_TRUE(in) << GetParam();
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Test names from the file names: letters and digits only.
std::string TestName(const ::testing::TestParamInfo<std::filesystem::path>& info) {
    std::string name;
    for (const char c : info.param.stem().string())
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(VARELO_FUZZ_SUITE, FuzzRegression, ::testing::ValuesIn(Inputs()),
                         TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FuzzRegression);

}  // namespace

int main(int argc, char** argv) {
    // Before gtest takes its flags: a target may start the program again with argv.
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
