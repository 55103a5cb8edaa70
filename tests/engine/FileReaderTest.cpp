#include "FileReader.h"
#include "TestEnv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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

    // An endless file gives up after the limit, in a line or in bytes.
    FileReader lines("/dev/zero", FileReader::text, 1 << 20);
    std::string line;
    EXPECT_TRUE(lines.readLine(line, 10));
    EXPECT_EQ(line, std::string(10, '\0'));
    EXPECT_FALSE(lines.readLine(line, 10));
    EXPECT_TRUE(lines.failed());
    EXPECT_EQ(lines.error(), "longer than 1048576 bytes");

    std::string error;
    std::string bytes;
    EXPECT_FALSE(FileReader::readFile("/dev/zero", 4096, bytes, error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(error, "longer than 4096 bytes");
}

TEST(FileReader, AFolderOrAMissingFileIsAFailureNotAThrow)
{
    const std::string folder = makeTempDir("quarrow-reader-folder");
    const std::string fifo = folder + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case
    {
        std::string path;
        std::string error;
    };
    for (const Case& c :
         {Case{folder, "is a folder"}, Case{folder + "/missing", "No such file or directory"}})
    {
        FileReader reader(c.path);
        EXPECT_FALSE(reader.isOpen());
        EXPECT_TRUE(reader.failed());
        EXPECT_EQ(reader.error(), c.error);
        EXPECT_EQ(reader.get(), -1);
        std::string line;
        EXPECT_FALSE(reader.readLine(line, 10));
        std::string bytes;
        EXPECT_FALSE(reader.readAll(bytes));
    }

    // A pipe nobody writes to reads as empty instead of blocking the game.
    FileReader pipe(fifo);
    EXPECT_TRUE(pipe.isOpen());
    EXPECT_EQ(pipe.get(), -1);
}
