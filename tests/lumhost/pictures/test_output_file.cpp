// Outputs appear whole or not at all.
#include <gtest/gtest.h>

#include <fstream>

#include "host_runner.h"
#include "lumhost/base/host_error.h"
#include "lumhost/pictures/output_file.h"

namespace lumhost {
namespace {

TEST(OutputFiles, AppearOnlyOnCommit) {
    hosttest::Scratch scratch;
    const auto target = scratch.dir() / "out.bin";
    {
        OutputFile file(target);
        writeAll(file.fd(), "abc", 3, "test");
        EXPECT_EQ(file.temporaryPath().parent_path(), scratch.dir()) << "written beside the target";
        EXPECT_FALSE(std::filesystem::exists(target));
    }
    EXPECT_TRUE(scratch.files().empty()) << "abandoned: nothing left";
    {
        OutputFile file(target);
        writeAll(file.fd(), "abc", 3, "test");
        file.commit();
    }
    EXPECT_EQ(scratch.files(), std::vector<std::string>{"out.bin"});
    EXPECT_EQ(hosttest::readFile(target.string()), "abc");
    EXPECT_THROW(OutputFile(scratch.dir() / "missing" / "out.bin"), HostError);
}

}  // namespace
}  // namespace lumhost
