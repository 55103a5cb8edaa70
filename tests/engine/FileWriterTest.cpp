#include "FileWriter.h"
#include "TestEnv.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Runs FileWriter::replace in a child whose files may grow to at most `limit` bytes, as on a
// full disk. Returns the child's verdict: 1 replaced, 0 refused.
int replaceUnderLimit(const std::string& path, const std::string& contents, rlim_t limit)
{
    const pid_t child = fork();
    if (child == 0)
    {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        setrlimit(RLIMIT_FSIZE, &size);
        std::string error;
        _exit(FileWriter::replace(path, contents, error) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(FileWriter, ReplacesTheWholeFileAndLeavesNothingBeside)
{
    const std::string folder = makeTempDir("quarrow-writer");
    const std::string path = folder + "/settings.ini";
    std::string error;
    ASSERT_TRUE(FileWriter::replace(path, "first\n", error)) << error;
    ASSERT_TRUE(FileWriter::replace(path, "second, longer\n", error)) << error;
    EXPECT_EQ(readFile(path), "second, longer\n");
    EXPECT_FALSE(exists(path + ".tmp"));
    EXPECT_TRUE(error.empty());
}

TEST(FileWriter, AFullDiskKeepsTheOldFileAndSaysSo)
{
    const std::string folder = makeTempDir("quarrow-writer-full");
    const std::string path = folder + "/profile.ini";
    writeFile(path, "old\n");
    const std::string contents(5000, '7');
    for (rlim_t limit : {rlim_t(0), rlim_t(1), rlim_t(4096), rlim_t(4999)})
    {
        SCOPED_TRACE(limit);
        EXPECT_EQ(replaceUnderLimit(path, contents, limit), 0);
        EXPECT_EQ(readFile(path), "old\n");
        EXPECT_FALSE(exists(path + ".tmp"));
    }
    EXPECT_EQ(replaceUnderLimit(path, contents, 5000), 1);
    EXPECT_EQ(readFile(path), contents);
}

TEST(FileWriter, AnUnwritableFolderIsReportedWithThePath)
{
    std::string error;
    EXPECT_FALSE(FileWriter::replace("/proc/quarrow-cannot-be-here/x.ini", "x", error));
    EXPECT_EQ(error, "/proc/quarrow-cannot-be-here/x.ini.tmp: open failed (No such file or directory)");
}
