// A 32-bit Windows module on a machine that cannot run 32-bit programs:
// lumhost finds out by asking the kernel, says so in one line before it
// makes a Wine prefix, a display or a process, and `list` marks the module
// as not runnable here. LUMHOST_TEST_NO_32_BIT=1 gives lumhost that answer
// on any machine, so these run everywhere.
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bridge_paths.h"
#include "child_processes.h"
#include "host_runner.h"
#include "loading/bridge/word_size.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;
using lumhost::ExecAnswer;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Just enough of a 32-bit Windows DLL for lumhost to take it for one: the
// DOS header, the PE signature and the optional header's PE32 magic.
void writePe32Header(const std::string& path) {
    std::vector<unsigned char> bytes(512, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x80;
    bytes[0x80] = 'P';
    bytes[0x81] = 'E';
    bytes[0x84] = 0x4C;  // i386
    bytes[0x85] = 0x01;
    bytes[0x80 + 24] = 0x0B;  // PE32
    bytes[0x80 + 25] = 0x01;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Whether the file is an i386 ELF program (Debian's 32-bit Wine loader is one where wine32 is installed).
bool isI386Program(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char head[20] = {};
    file.read(reinterpret_cast<char*>(head), sizeof head);
    return file && head[0] == 0x7F && head[1] == 'E' && head[4] == 1 && head[18] == 3 && head[19] == 0;
}

TEST(KernelWordSize, ATrivialProgramOfThisMachinesOwnKindRuns) {
    EXPECT_EQ(lumhost::tryProgram(lumhost::trivialProgram(64)), ExecAnswer::ran);
}

TEST(KernelWordSize, AProgramForAMachineNoKernelKnowsIsTheWrongFormat) {
    auto image = lumhost::trivialProgram(64);
    image[18] = 0x34;  // e_machine: a number no architecture has
    image[19] = 0x12;
    EXPECT_EQ(lumhost::tryProgram(image), ExecAnswer::wrongFormat);
    // And so is something that is no program at all.
    EXPECT_EQ(lumhost::tryProgram({'n', 'o', 't', ' ', 'a', ' ', 'p', 'r', 'o', 'g', 'r', 'a', 'm', '\n'}), ExecAnswer::wrongFormat);
}

// The decision agrees with what Wine's 32-bit loader itself does here, and
// where 32-bit programs run, the trivial one runs to its exit status 0.
TEST(KernelWordSize, TheAnswerAgreesWithWinesThirtyTwoBitLoader) {
    const std::string loader = "/usr/lib/wine/wine";
    if (!isI386Program(loader)) GTEST_SKIP() << loader << " is not a 32-bit program here (wine32 is not installed)";
    const bool loaderStarts = std::system((loader + " --version >/dev/null 2>&1").c_str()) == 0;
    const bool runs = lumhost::tryProgram(lumhost::trivialProgram(32)) == ExecAnswer::ran;
    EXPECT_EQ(runs, loaderStarts);
    // LUMHOST_TEST_NO_32_BIT is not set in this process: the answer is the kernel's.
    EXPECT_EQ(!lumhost::whyNoThirtyTwoBitPrograms().has_value(), runs);
    if (runs) {
        Scratch scratch;
        const auto image = lumhost::trivialProgram(32);
        const auto file = scratch.path("exit0");
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        fs::permissions(file, fs::perms::owner_all);
        EXPECT_EQ(std::system(quoted(file).c_str()), 0);
    }
}

class NoThirtyTwoBit : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

    void SetUp() override {
        fs::create_directories(scratch.path("modules"));
        module = scratch.path("modules/old32.lum");
        writePe32Header(module);
        // A prefix of its own, which must never be made.
        environment = {"LUMHOST_TEST_NO_32_BIT=1", "WINEPREFIX=" + scratch.path("prefix"), "HOME=" + scratch.path("home"),
                       "LUM_PATH=" + scratch.path("modules")};
    }

    // One line naming the module, the cause and what works instead; exit 1;
    // nothing made and nothing left running.
    void expectRefusedAtOnce(const std::vector<std::string>& args, std::vector<std::string> extraEnvironment = {}) {
        const auto started = std::chrono::steady_clock::now();
        extraEnvironment.insert(extraEnvironment.begin(), environment.begin(), environment.end());
        const auto run = runLumhost(scratch, args, extraEnvironment);
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(run.status, 1);
        const auto lines = run.errLines();
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_TRUE(contains(lines[0], "lumhost: cannot load plug-in " + module + ": it is a 32-bit Windows module")) << lines[0];
        EXPECT_TRUE(contains(lines[0], "this machine cannot run 32-bit programs")) << lines[0];
        EXPECT_TRUE(contains(lines[0], "Exec format error")) << lines[0];
        EXPECT_TRUE(contains(lines[0], "use a 64-bit build of the module")) << lines[0];
        EXPECT_FALSE(contains(run.err, "Wine prefix")) << run.err;
        EXPECT_EQ(scratch.files(), std::vector<std::string>{"modules"});
        EXPECT_FALSE(fs::exists(scratch.path("prefix")));
        EXPECT_FALSE(fs::exists(scratch.path("home/.cache")));
        EXPECT_TRUE(orphans().empty()) << orphans().front().second << " outlived lumhost";
        EXPECT_LT(seconds, 10.0);
    }

    Scratch scratch;
    std::string module;
    std::vector<std::string> environment;
};

TEST_F(NoThirtyTwoBit, InfoRenderAndPlaySayWhyInOneLineBeforeAnythingIsMade) {
    expectRefusedAtOnce({"info", module});
    expectRefusedAtOnce({"render", "--plugin", module, "--size", "64x48", "--duration", "1", "-o", "out.mp4", "-q"});
    expectRefusedAtOnce({"render", "--plugin", module, "--size", "64x48", "--duration", "1", "-o", "out.png", "-q"});
    // play looks for a display first; one that shows nothing, named, lets it reach the module.
    expectRefusedAtOnce({"play", "--plugin", module, "--duration", "1"}, {"SDL_VIDEODRIVER=offscreen", "ASAN_OPTIONS=detect_leaks=0"});
}

TEST_F(NoThirtyTwoBit, ListMarksTheModuleNotRunnableHereAndGoesOn) {
    fs::copy_file(GYROTRAIL_MODULE_PATH, scratch.path("modules/native.lum"));
    const auto run = runLumhost(scratch, {"list"}, environment);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::string old32, native;
    std::istringstream listing(run.out);
    for (std::string line; std::getline(listing, line);) {
        if (contains(line, "  " + module)) old32 = line;
        if (contains(line, "  " + scratch.path("modules/native.lum"))) native = line;
    }
    EXPECT_TRUE(contains(old32, "Windows module, through the Wine bridge; not runnable here: a 32-bit Windows module, and "
                                "this machine cannot run 32-bit programs")) << run.out;
    EXPECT_TRUE(contains(old32, "use a 64-bit build of the module")) << old32;
    EXPECT_TRUE(contains(native, "Gyrotrailscope")) << run.out;
    EXPECT_FALSE(fs::exists(scratch.path("prefix")));
    EXPECT_TRUE(orphans().empty());
}

// A 64-bit module is not affected by the answer: it gets as far as its
// bridge (here: the cross build's, when there is one).
TEST_F(NoThirtyTwoBit, SixtyFourBitModulesStillRun) {
    REQUIRE_CROSS_BUILD("64", windowsModule("64"));
    environment[1] = "WINEPREFIX=" + bridgePrefix();
    const auto run = runLumhost(scratch, {"info", windowsModule("64")}, environment);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Gyrotrailscope")) << run.out;
}

}  // namespace
}  // namespace hosttest
