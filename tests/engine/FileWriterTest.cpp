#include "FileWriter.h"
#include "TestEnv.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// Puts an entry of the given kind at path: a FIFO, a socket, a folder, a read-only file, a link
// to a file beside it, or the character device major:minor (root only).
enum class Kind
{
    fifo,
    socket,
    folder,
    readOnly,
    link,
    nullDevice,
    fullDevice,
};

bool needsRoot(Kind kind)
{
    return kind == Kind::nullDevice || kind == Kind::fullDevice;
}

void make(const std::string& path, Kind kind)
{
    switch (kind)
    {
    case Kind::fifo:
        ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        break;
    case Kind::socket:
    {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.size(), sizeof(address.sun_path));
        path.copy(address.sun_path, path.size());
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        close(fd);
        break;
    }
    case Kind::folder:
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        break;
    case Kind::readOnly:
        writeFile(path, "mine\n");
        ASSERT_EQ(chmod(path.c_str(), 0444), 0);
        break;
    case Kind::link:
        writeFile(path + "-linked", "mine\n");
        ASSERT_EQ(symlink((path + "-linked").c_str(), path.c_str()), 0);
        break;
    case Kind::nullDevice:
        ASSERT_EQ(mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        break;
    case Kind::fullDevice:
        ASSERT_EQ(mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
        break;
    }
}

mode_t typeOf(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

// Runs write(path, error) in a child that a blocking open cannot hang: its verdict, or -1 when
// it did not end by itself. error comes back through a pipe.
template <typename Write> int inChild(Write write, std::string& error)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
    {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0)
    {
        alarm(20);
        close(pipeEnds[0]);
        std::string why;
        const bool done = write(why);
        const ssize_t sent = ::write(pipeEnds[1], why.data(), why.size());
        _exit(done && sent >= 0 ? 1 : 0);
    }
    close(pipeEnds[1]);
    error.clear();
    char buffer[1024];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof(buffer))) > 0)
    {
        error.append(buffer, static_cast<size_t>(got));
    }
    close(pipeEnds[0]);
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

// What is at the target and no plain file is never renamed over: a device, FIFO or socket is
// written in place without blocking, a folder and a read-only file are left alone.
TEST(FileWriter, ATargetThatIsNoPlainFileStaysWhatItIs)
{
    struct Case
    {
        const char* name;
        Kind kind;
        bool written;
        const char* error; // after "<path>: "
    };
    // Devices last: only root can make them.
    for (const Case& c :
         {Case{"a FIFO without a reader", Kind::fifo, false, "open failed (No such device or address)"},
          Case{"a socket", Kind::socket, false, "open failed (No such device or address)"},
          Case{"a folder", Kind::folder, false, "rename failed (Is a directory)"},
          Case{"a read-only file", Kind::readOnly, false, "is read-only, not saved"},
          Case{"a null device", Kind::nullDevice, true, ""},
          Case{"a full device", Kind::fullDevice, false, "write failed (No space left on device)"}})
    {
        SCOPED_TRACE(c.name);
        if (needsRoot(c.kind) && geteuid() != 0)
        {
            GTEST_SKIP() << "making a device node needs root";
        }
        const std::string folder = makeTempDir("quarrow-writer-kind");
        const std::string path = folder + "/config.ini";
        make(path, c.kind);
        const mode_t type = typeOf(path);
        std::string error;
        for (FileWriter::Links links : {FileWriter::Links::replace, FileWriter::Links::follow})
        {
            EXPECT_EQ(inChild([&](std::string& why)
                              { return FileWriter::replace(path, "new\n", why, links); },
                              error),
                      c.written ? 1 : 0);
            EXPECT_EQ(error, c.written ? "" : path + ": " + c.error);
            EXPECT_EQ(typeOf(path), type);
            EXPECT_FALSE(exists(path + ".tmp"));
        }
        if (c.kind == Kind::readOnly)
        {
            EXPECT_EQ(readFile(path), "mine\n");
        }
    }
}

// A staged file is only ever a plain file of its own: a link, a FIFO or a device at its name is
// refused and left as it is, and the file behind a link keeps its bytes.
TEST(FileWriter, AFlushedFileIsNeverWrittenThroughALinkOrIntoADevice)
{
    for (Kind kind : {Kind::link, Kind::fifo, Kind::nullDevice})
    {
        SCOPED_TRACE(static_cast<int>(kind));
        if (needsRoot(kind) && geteuid() != 0)
        {
            GTEST_SKIP() << "making a device node needs root";
        }
        const std::string path = makeTempDir("quarrow-writer-staged") + "/users.ini.new";
        make(path, kind);
        const mode_t type = typeOf(path);
        std::string error;
        EXPECT_EQ(
            inChild([&](std::string& why) { return FileWriter::writeFlushed(path, "new\n", why); }, error),
            0);
        EXPECT_NE(error.find(path + ": is a "), std::string::npos) << error;
        EXPECT_EQ(typeOf(path), type);
        if (kind == Kind::link)
        {
            EXPECT_EQ(readFile(path + "-linked"), "mine\n");
        }
    }
}

// "<name>.tmp" beside a file of the folder the caller named is the writer's own: a file or a link
// left there by an interrupted save is cleared (the file a link points to keeps its bytes), a
// folder never is.
TEST(FileWriter, ItsOwnTemporaryNameIsClearedButNeverAFolder)
{
    const std::string folder = makeTempDir("quarrow-writer-own");
    const std::string path = folder + "/hashes.ini";
    make(path + ".tmp", Kind::link);
    std::string error;
    ASSERT_TRUE(FileWriter::replace(path, "new\n", error)) << error;
    EXPECT_EQ(readFile(path), "new\n");
    EXPECT_EQ(readFile(path + ".tmp-linked"), "mine\n");
    EXPECT_FALSE(exists(path + ".tmp"));

    make(path + ".tmp", Kind::folder);
    EXPECT_FALSE(FileWriter::replace(path, "newer\n", error));
    EXPECT_EQ(error, path + ".tmp: a folder is in the way, not saved");
    EXPECT_EQ(readFile(path), "new\n");
    EXPECT_EQ(typeOf(path + ".tmp"), static_cast<mode_t>(S_IFDIR));
}
