#include "FileReader.h"
#include "NonPlainFiles.h"
#include "TestEnv.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace
{

std::string fileWith(const std::string& bytes)
{
    const std::string path = makeTempDir("quarrow-reader") + "/file";
    writeFile(path, bytes);
    return path;
}

std::vector<std::string> linesOf(const std::string& path, FileReader::Mode mode, size_t maxLength,
                                 std::vector<bool>* cuts = nullptr)
{
    FileReader reader(path, mode);
    std::vector<std::string> lines;
    std::string line;
    bool cut = false;
    while (reader.readLine(line, maxLength, &cut))
    {
        lines.push_back(line);
        if (cuts != nullptr)
        {
            cuts->push_back(cut);
        }
    }
    return lines;
}

} // namespace

TEST(FileReader, TextModeReadsCrLfAsOneLineEndEvenAcrossTheBuffer)
{
    // The "\r\n" straddles the reader's 64 KiB buffer: the '\r' is its last byte.
    const std::string first(64 * 1024 - 1, 'a');
    const std::string path = fileWith(first + "\r\nb\rc\r\n\r\nlast");

    EXPECT_EQ(linesOf(path, FileReader::text, 1 << 20),
              (std::vector<std::string>{first, "b\rc", "", "last"}));
    EXPECT_EQ(linesOf(path, FileReader::binary, 1 << 20),
              (std::vector<std::string>{first + "\r", "b\rc\r", "\r", "last"}));

    FileReader bytes(path, FileReader::text);
    std::string got;
    for (int c = bytes.get(); c >= 0; c = bytes.get())
    {
        EXPECT_EQ(bytes.failed(), false);
        got.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(got, first + "\nb\rc\n\nlast");

    std::string all;
    FileReader whole(path, FileReader::text);
    ASSERT_TRUE(whole.readAll(all));
    EXPECT_EQ(all, got);
}

TEST(FileReader, PeekShowsTheNextByteWithoutTakingIt)
{
    FileReader reader(fileWith("x\r\ny"), FileReader::text);
    EXPECT_EQ(reader.peek(), 'x');
    EXPECT_EQ(reader.get(), 'x');
    EXPECT_EQ(reader.peek(), '\n');
    EXPECT_EQ(reader.get(), '\n');
    EXPECT_EQ(reader.get(), 'y');
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.get(), -1);
    EXPECT_FALSE(reader.failed());
}

TEST(FileReader, AnOverlongLineIsCutAndTheRestOfItSkipped)
{
    std::vector<bool> cuts;
    const std::string path = fileWith("abcdef\nabc\r\nabcd\nxy");
    EXPECT_EQ(linesOf(path, FileReader::text, 3, &cuts),
              (std::vector<std::string>{"abc", "abc", "abc", "xy"}));
    EXPECT_EQ(cuts, (std::vector<bool>{true, false, true, false}));
}

TEST(FileReader, ReadingStopsAtTheLimit)
{
    struct Case
    {
        const char* name;
        size_t size;
        bool whole;
    };
    for (const Case& c : {Case{"below", 999, true}, Case{"at", 1000, true}, Case{"beyond", 1001, false}})
    {
        SCOPED_TRACE(c.name);
        const std::string path = fileWith(std::string(c.size, 'z'));
        FileReader reader(path, FileReader::binary, 1000);
        std::string bytes;
        EXPECT_EQ(reader.readAll(bytes), c.whole);
        EXPECT_EQ(bytes.size(), c.whole ? c.size : 0u);
        EXPECT_EQ(reader.failed(), !c.whole);
        EXPECT_EQ(reader.error().empty(), c.whole) << reader.error();
    }

    // A huge file gives up after the limit, in a line or in bytes.
    const std::string zeros = fileWith("");
    ASSERT_EQ(truncate(zeros.c_str(), 2 << 20), 0);
    FileReader lines(zeros, FileReader::text, 1 << 20);
    std::string line;
    EXPECT_TRUE(lines.readLine(line, 10));
    EXPECT_EQ(line, std::string(10, '\0'));
    EXPECT_FALSE(lines.readLine(line, 10));
    EXPECT_TRUE(lines.failed());
    EXPECT_EQ(lines.error(), "longer than 1048576 bytes");

    std::string error;
    std::string bytes;
    EXPECT_FALSE(FileReader::readFile(zeros, 4096, bytes, error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(error, "longer than 4096 bytes");

    // An endless device is not read at all.
    const std::string device = makeTempDir("quarrow-reader-zero") + "/zero";
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 5)) != 0)
    {
        GTEST_SKIP() << "a device node needs root";
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FileReader::readFile(device, 1 << 20, bytes, error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(error, "is a device");
}

// Only a plain file is read: anything else in its place is refused at once, whether or not
// anyone is at its other end, and says what it is.
TEST(FileReader, AnythingButAPlainFileIsAFailureNotAThrowNorAWait)
{
    const std::string folder = makeTempDir("quarrow-reader-folder");
    const std::string fedFifo = folder + "/fed-fifo";
    ASSERT_TRUE(makeNonPlain(fedFifo, NonPlain::fifo));
    // A writer that stays and never writes: a read of this FIFO would wait for ever.
    const int writer = open(fedFifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(symlink((folder + "/fed-fifo").c_str(), (folder + "/link").c_str()), 0);
    struct Case
    {
        std::string path;
        std::string error;
    };
    std::vector<Case> cases = {{folder, "is a folder"},
                               {folder + "/missing", "No such file or directory"},
                               {fedFifo, "is a FIFO"},
                               {folder + "/link", "is a FIFO"}};
    for (const NonPlain kind : {NonPlain::fifo, NonPlain::device, NonPlain::socket})
    {
        const std::string path = folder + "/" + nameOf(kind);
        if (makeNonPlain(path, kind))
        {
            cases.push_back({path, refusalOf(kind)});
        }
    }
    for (const Case& c : cases)
    {
        // In a child: a reader that waits on the FIFO is stopped at the limit.
        const std::string seen =
            withinSeconds(5,
                          [&]()
                          {
                              FileReader reader(c.path);
                              std::string line;
                              std::string bytes;
                              return std::to_string(reader.isOpen()) + std::to_string(reader.failed()) + " " +
                                     reader.error() + " " + std::to_string(reader.get()) +
                                     std::to_string(reader.readLine(line, 10)) +
                                     std::to_string(reader.readAll(bytes));
                          });
        EXPECT_EQ(seen, "01 " + c.error + " -100") << c.path;
    }
    close(writer);
}
