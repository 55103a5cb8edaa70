#include "Core.h"
#include "Entity.h"
#include "Entity_Diamond.h"
#include "Entity_Enemy1.h"
#include "Entity_Key.h"
#include "Entity_Player.h"
#include "Entity_Rock.h"
#include "Exception.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "TestEnv.h"
#include "Tile.h"
#include "Tile_Door.h"
#include "Tile_Empty.h"
#include "Tile_Exit.h"
#include "Tile_RoundWall.h"
#include "Tile_Sand.h"
#include "Tile_Wall.h"
#include "Tilemap.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <typeinfo>
#include <unistd.h>

namespace
{

const char* const startLevel = "3 3\ntileset1\nm.ogg\n###\n#p#\n###\n0\n";

// Every reader test runs the real game on a one-level list, then loads its own files.
class LevelReader : public ::testing::Test
{
  protected:
    void open(const std::map<std::string, std::string>& levels)
    {
        std::map<std::string, std::string> files = levels;
        files["levels.ini"] = "levels/start.txt\n";
        files["levels/start.txt"] = startLevel;
        harness.reset(new Harness(makeWorkDir(files)));
        ASSERT_EQ(harness->initResult(), 0);
        level = Core::getGame()->getLevel();
    }

    // The error the reader raised, "" when it raised none.
    std::string load(const std::string& file)
    {
        try
        {
            level->load(0, file, false);
        }
        catch (Exception* e)
        {
            const std::string message = e->getMessage();
            delete e;
            return message;
        }
        return "";
    }

    // One character per cell as the file would write it, rows on lines of their own.
    std::string grid() const
    {
        const Tilemap* tilemap = level->getTilemap();
        std::string picture;
        for (uint16_t y = 0; y < tilemap->getHeight(); ++y)
        {
            for (uint16_t x = 0; x < tilemap->getWidth(); ++x)
            {
                picture += cellChar(tilemap->getTile(CellPos{x, y}));
            }
            picture += '\n';
        }
        return picture;
    }

    // Each thing as its character and cell: "r@1,2 b@3,0".
    std::string things() const
    {
        std::string list;
        for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
        {
            const CellPos cell = e->getCell();
            list += std::string(list.empty() ? "" : " ") + thingChar(e) + "@" + std::to_string(cell.x) + "," +
                    std::to_string(cell.y);
        }
        return list;
    }

    Vec2 playerStart() const { return Core::getGame()->getPlayer()->getPosition(); }

    std::unique_ptr<Harness> harness;
    Level* level = nullptr;

  private:
    static char cellChar(Tile* tile)
    {
        if (dynamic_cast<Tile_Door*>(tile) != nullptr)
        {
            return static_cast<Tile_Door*>(tile)->getColor() == 0 ? '1' : '2';
        }
        if (typeid(*tile) == typeid(Tile_Empty))
        {
            return '.';
        }
        if (typeid(*tile) == typeid(Tile_Sand))
        {
            return '+';
        }
        if (typeid(*tile) == typeid(Tile_Wall))
        {
            return '#';
        }
        if (typeid(*tile) == typeid(Tile_RoundWall))
        {
            return 'O';
        }
        if (typeid(*tile) == typeid(Tile_Exit))
        {
            return 'x';
        }
        return typeid(*tile) == typeid(Tile) ? 's' : '?';
    }

    static char thingChar(Entity* e)
    {
        if (dynamic_cast<Entity_Rock*>(e) != nullptr)
        {
            return 'r';
        }
        if (dynamic_cast<Entity_Diamond*>(e) != nullptr)
        {
            return 'b';
        }
        if (dynamic_cast<Entity_Enemy1*>(e) != nullptr)
        {
            return 'e';
        }
        return dynamic_cast<Entity_Key*>(e) != nullptr ? 'k' : '?';
    }
};

TEST_F(LevelReader, GridCharactersMayStandAnywhereButEveryTableCharacterTakesACell)
{
    const std::string head = "4 3\ntileset1\nm.ogg\n";
    const std::string rows = "#+O.\n12xs\nrbep\n0\n";
    open({{"levels/rows.txt", head + rows},
          {"levels/oneline.txt", head + "#+O.12xsrbep\n0\n"},
          {"levels/spaced.txt", head + "# + O .\n1 2 x s\nr b e p\n0\n"},
          {"levels/noise.txt", head + "#+O.\nY1%2xs\n\tr b!ep\n0\n"},
          {"levels/shifted.txt", head + "#+O..\n12xs\nrbep\n0\n"}});

    ASSERT_EQ(load("levels/rows.txt"), "");
    EXPECT_EQ(grid(), "#+O.\n12xs\n....\n");
    EXPECT_EQ(things(), "r@0,2 b@1,2 e@2,2");
    EXPECT_EQ(level->getDiamondCount(), 1);
    EXPECT_EQ(playerStart().x, 3 * 64 + 32);
    EXPECT_EQ(playerStart().y, 2 * 64 + 32);

    for (const char* same : {"levels/oneline.txt", "levels/spaced.txt", "levels/noise.txt"})
    {
        SCOPED_TRACE(same);
        ASSERT_EQ(load(same), "");
        EXPECT_EQ(grid(), "#+O.\n12xs\n....\n");
        EXPECT_EQ(things(), "r@0,2 b@1,2 e@2,2");
    }

    // The extra '.' of row 0 becomes cell (0, 1); the last character 'p' no longer fits.
    ASSERT_EQ(load("levels/shifted.txt"), "");
    EXPECT_EQ(grid(), "#+O.\n.12x\ns...\n");
    EXPECT_EQ(things(), "r@1,2 b@2,2 e@3,2");
}

TEST_F(LevelReader, TheLastStartCountsAndALevelWithoutOneKeepsThePreviousStart)
{
    open({{"levels/two.txt", "3 2\nt\nm\np.p\n..p\n0\n"}, {"levels/none.txt", "2 2\nt\nm\n..\n..\n0\n"}});

    ASSERT_EQ(load("levels/two.txt"), "");
    EXPECT_EQ(playerStart().x, 2 * 64 + 32);
    EXPECT_EQ(playerStart().y, 1 * 64 + 32);

    ASSERT_EQ(load("levels/none.txt"), "");
    EXPECT_EQ(playerStart().x, 2 * 64 + 32);
    EXPECT_EQ(playerStart().y, 1 * 64 + 32);
}

TEST_F(LevelReader, ASizeOfZeroOrAMissingFileRaisesItsMessageAndKeepsTheLevel)
{
    open({{"levels/w0.txt", "0 3\nt\nm\n...\n"},
          {"levels/h0.txt", "3 0\nt\nm\n...\n"},
          {"levels/one.txt", "3\nt\nm\n...\n"},
          {"levels/text.txt", "wide\nt\nm\n...\n"},
          {"levels/negative.txt", "-3 2\nt\nm\n...\n"},
          {"levels/empty.txt", ""}});
    const std::string before = grid();

    for (const char* file : {"levels/w0.txt", "levels/h0.txt", "levels/one.txt", "levels/text.txt",
                             "levels/negative.txt", "levels/empty.txt"})
    {
        EXPECT_EQ(load(file), "Level: " + std::string(file) + " hasn't width or height");
    }
    EXPECT_EQ(load("levels/gone.txt"), "Level: can't open the file levels/gone.txt");
    EXPECT_EQ(grid(), before);
    EXPECT_EQ(grid(), "###\n#.#\n###\n");
}

TEST_F(LevelReader, TruncatedAndBinaryFilesKeepWhatWasRead)
{
    const std::string binary("3 2\nt\nm\n\x00\xff#\x80\x01+r\xfe", 15);
    open({{"levels/cut.txt", "3 2\nt\nm\n#+"},
          {"levels/binary.txt", binary},
          {"levels/binhead.txt", std::string("\x01\x00\xff\x7f 9\n#", 7)},
          {"levels/nohead.txt", "4 1"}});

    ASSERT_EQ(load("levels/cut.txt"), "");
    EXPECT_EQ(grid(), "#+.\n...\n");
    ASSERT_EQ(load("levels/binary.txt"), "");
    EXPECT_EQ(grid(), "#+.\n...\n");
    EXPECT_EQ(things(), "r@2,0");
    EXPECT_EQ(load("levels/binhead.txt"), "Level: levels/binhead.txt hasn't width or height");
    // A file of only its size line: empty names, every cell empty.
    ASSERT_EQ(load("levels/nohead.txt"), "");
    EXPECT_EQ(level->getTileset(), "");
    EXPECT_EQ(grid(), "....\n");
    harness->step(2);
}

TEST_F(LevelReader, AHeadLineOfMoreThan19CharactersEndsTheReading)
{
    open({{"levels/long.txt", "3 1\ntileset-name-too-long\nm.ogg\n#r#\n1\n0 0 1\nhello\n"},
          {"levels/exact.txt", "3 1\ntileset-name-19-ch\nm.ogg\n#r#\n1\n0 0 1\nhello\n"},
          {"levels/longsize.txt", "3 1                   \nt\nm.ogg\n#r#\n0\n"},
          {"levels/longmusic.txt", "3 1\nt\nmusic-name-too-long.ogg\n#r#\n0\n"}});

    ASSERT_EQ(load("levels/long.txt"), "");
    EXPECT_EQ(level->getTileset(), "tileset-name-too-lo");
    EXPECT_EQ(grid(), "...\n");
    EXPECT_EQ(things(), "");
    EXPECT_TRUE(level->getTilemap()->getMessages(CellPos{0, 0}).empty());

    ASSERT_EQ(load("levels/exact.txt"), "");
    EXPECT_EQ(level->getTileset(), "tileset-name-19-ch");
    EXPECT_EQ(grid(), "#.#\n");
    EXPECT_EQ(things(), "r@1,0");
    EXPECT_EQ(level->getTilemap()->getMessages(CellPos{0, 0}), std::vector<std::string>{"hello"});

    // A long size line still gives its numbers; a long music line ends the reading as well.
    ASSERT_EQ(load("levels/longsize.txt"), "");
    EXPECT_EQ(level->getTilemap()->getWidth(), 3);
    EXPECT_EQ(level->getTileset(), "");
    EXPECT_EQ(grid(), "...\n");
    ASSERT_EQ(load("levels/longmusic.txt"), "");
    EXPECT_EQ(level->getTileset(), "t");
    EXPECT_EQ(grid(), "...\n");
    EXPECT_EQ(things(), "");
}

TEST_F(LevelReader, TheMusicNameChangesOnlyWithMusicOn)
{
    open({{"levels/a.txt", "1 1\nt\na.ogg\n.\n0\n"}, {"levels/b.txt", "1 1\nt\nb.ogg\n.\n0\n"}});
    level->load(0, "levels/a.txt", true);
    EXPECT_EQ(level->getMusic(), "a.ogg");
    level->load(0, "levels/b.txt", false);
    EXPECT_EQ(level->getMusic(), "a.ogg");
    level->load(0, "levels/b.txt", true);
    EXPECT_EQ(level->getMusic(), "b.ogg");
}

TEST_F(LevelReader, CellTextsKeepNumbersTheirHeaderLacksAndStopAtALongLine)
{
    const std::string longLine(120, 'z');
    open({{"levels/texts.txt", "3 2\nt\nm\n...\n...\n"
                               "3\n"
                               "1 1 2\n  first\n\n"
                               "2\n"
                               "third\n" +
                                   longLine + "\nlost\n0 0 1\nnever\n"},
          {"levels/crlf.txt", "2 1\r\nt\r\nm\r\n..\r\n1\r\n1 0 1\r\nline\r\n"}});

    ASSERT_EQ(load("levels/texts.txt"), "");
    const Tilemap* tilemap = level->getTilemap();
    // "2" replaces x alone: y stays 1 and k stays 2.
    EXPECT_EQ(tilemap->getMessages(CellPos{1, 1}), (std::vector<std::string>{"  first", ""}));
    // The overlong line is cut to 99 characters and is the last text read.
    EXPECT_EQ(tilemap->getMessages(CellPos{2, 1}), (std::vector<std::string>{"third", std::string(99, 'z')}));
    EXPECT_EQ(tilemap->getMessages(CellPos{0, 0}), std::vector<std::string>{});

    // A new load starts from empty lists.
    ASSERT_EQ(load("levels/texts.txt"), "");
    EXPECT_EQ(tilemap->getMessages(CellPos{1, 1}).size(), 2u);

    ASSERT_EQ(load("levels/crlf.txt"), "");
    EXPECT_EQ(level->getTileset(), "t");
    EXPECT_EQ(tilemap->getMessages(CellPos{1, 0}), std::vector<std::string>{"line"});
}

TEST_F(LevelReader, AWideLevelIsCappedAt128ColumnsButCountsItsRowsInTheFileWidth)
{
    std::string rows;
    for (int y = 0; y < 10; ++y)
    {
        std::string row(200, '#');
        row[5] = '+';
        if (y == 0)
        {
            row[150] = 'r';
        }
        rows += row + "\n";
    }
    open({{"levels/wide.txt", "200 10\nt\nm\n" + rows + "0\n"}});

    ASSERT_EQ(load("levels/wide.txt"), "");
    const Tilemap* tilemap = level->getTilemap();
    EXPECT_EQ(tilemap->getWidth(), 128);
    EXPECT_EQ(tilemap->getHeight(), 10);
    for (uint16_t y = 0; y < 10; ++y)
    {
        EXPECT_EQ(typeid(*tilemap->getTile(CellPos{5, y})), typeid(Tile_Sand)) << y;
        EXPECT_EQ(typeid(*tilemap->getTile(CellPos{6, y})), typeid(Tile_Wall)) << y;
    }
    // The rock beyond the grid keeps its place and stands on no tile.
    Entity* rock = level->firstEntity();
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->getPosition().x, 150 * 64 + 32);
    EXPECT_EQ(rock->getPosition().y, 32);
    EXPECT_FALSE(tilemap->getTile(CellPos{127, 0})->hasEntities());
    // In play it is updated with its row, stands on the outside wall and stays where it is.
    Core::getGame()->setState(2, false);
    harness->step(30);
    EXPECT_EQ(rock->getPosition().x, 150 * 64 + 32);
    EXPECT_EQ(rock->getPosition().y, 32);
    EXPECT_FALSE(tilemap->getTile(CellPos{127, 0})->hasEntities());
}

TEST_F(LevelReader, ATallLevelIsCappedAt128RowsAndThingsBelowStayOffTheGrid)
{
    std::string rows;
    for (int y = 0; y < 200; ++y)
    {
        rows += y == 150 ? "#r.\n" : (y == 127 ? "#b.\n" : "#..\n");
    }
    open({{"levels/tall.txt", "3 200\nt\nm\n" + rows + "0\n"}});

    ASSERT_EQ(load("levels/tall.txt"), "");
    EXPECT_EQ(level->getTilemap()->getWidth(), 3);
    EXPECT_EQ(level->getTilemap()->getHeight(), 128);
    EXPECT_EQ(things(), "b@1,127 r@1,150");
    EXPECT_TRUE(level->getTilemap()->getTile(CellPos{1, 127})->hasEntities());
    Core::getGame()->setState(2, false);
    harness->step(30);
    EXPECT_EQ(things(), "b@1,127 r@1,150");
}

// The peak of this process's resident memory, in kB.
long peakMemoryKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
    {
        if (line.compare(0, 6, "VmHWM:") == 0)
        {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// `bytes`, then zeros up to `size`: the zeros take no room on the disk.
void writeSparse(const std::string& path, const std::string& bytes, off_t size)
{
    writeFile(path, bytes);
    ASSERT_EQ(truncate(path.c_str(), size), 0);
}

// Texts of any length and any number each keep their own cell: a long text does not run into the
// next block's header, and blocks past the thousandth are read too.
TEST_F(LevelReader, CellTextsOfAnyLengthAndNumberEachKeepTheirCell)
{
    std::vector<std::string> longText;
    std::string longFile = "3 3\nt\nm\n...\n...\n...\n3\n1 1 70\n";
    for (int i = 0; i < 70; ++i)
    {
        longText.push_back("line " + std::to_string(i));
        longFile += longText.back() + "\n";
    }
    longFile += "2 2 1\nTWO\n0 0 2\nZERO\nzero\n";

    const int side = 40;
    std::string manyFile = "40 40\nt\nm\n";
    for (int row = 0; row < side; ++row)
    {
        manyFile += std::string(side, '.') + "\n";
    }
    manyFile += std::to_string(side * side) + "\n";
    for (int i = 0; i < side * side; ++i)
    {
        manyFile += std::to_string(i % side) + " " + std::to_string(i / side) + " 2\ncell " +
                    std::to_string(i) + "\nend\n";
    }
    open({{"levels/long.txt", longFile}, {"levels/many.txt", manyFile}});

    ASSERT_EQ(load("levels/long.txt"), "");
    const Tilemap* tilemap = level->getTilemap();
    EXPECT_EQ(tilemap->getMessages(CellPos{1, 1}), longText);
    EXPECT_EQ(tilemap->getMessages(CellPos{2, 2}), std::vector<std::string>{"TWO"});
    EXPECT_EQ(tilemap->getMessages(CellPos{0, 0}), (std::vector<std::string>{"ZERO", "zero"}));

    ASSERT_EQ(load("levels/many.txt"), "");
    for (int i = 0; i < side * side; ++i)
    {
        const CellPos cell{static_cast<uint16_t>(i % side), static_cast<uint16_t>(i / side)};
        ASSERT_EQ(tilemap->getMessages(cell), (std::vector<std::string>{"cell " + std::to_string(i), "end"}))
            << "cell " << i;
    }
    EXPECT_EQ(harness->logText().find("lines of text"), std::string::npos);
}

TEST_F(LevelReader, BrokenHugeAndEndlessFilesLoadInBoundedTimeAndMemoryOrChangeNothing)
{
    const std::string before = "4 2\nt\nm\n#bp#\n#r.#\n0\n";
    const std::string valid = "3 3\ntileset1\nm.ogg\n#+#\n+p+\n#b#\n";
    const off_t junk = 300 * 1024 * 1024;
    std::string emptyGrid;
    for (int row = 0; row < 128; ++row)
    {
        emptyGrid += std::string(128, '.') + "\n";
    }
    const struct
    {
        const char* file;
        std::function<void(const std::string&)> make;
        const char* error; // "" for a level that loads
        std::string grid;  // what a level that loads holds,
        size_t things;     // how many things,
        size_t texts;      // and the lines of text of its cell (0, 0)
    } cases[] = {
        {"levels/folder.txt", [](const std::string& f) { ASSERT_EQ(mkdir(f.c_str(), 0755), 0); },
         "Level: can't open the file levels/folder.txt", "", 0, 0},
        // An endless device is refused before a byte of it is read (a FIFO where no node can be made).
        {"levels/zero.txt",
         [](const std::string& f) {
             ASSERT_TRUE(mknod(f.c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0 ||
                         mkfifo(f.c_str(), 0644) == 0);
         },
         "Level: can't open the file levels/zero.txt", "", 0, 0},
        {"levels/size.txt",
         [&](const std::string& f) { writeFile(f, "20x15\nt\nm\n" + std::string(300, '#')); },
         "Level: levels/size.txt hasn't width or height", "", 0, 0},
        {"levels/padded.txt", [&](const std::string& f) { writeSparse(f, valid + "0\n", junk); }, "",
         "#+#\n+.+\n#.#\n", 1, 0},
        {"levels/lost.txt", [&](const std::string& f) { writeSparse(f, "3 3\ntileset1\nm.ogg\n#", junk); },
         "", "#..\n...\n...\n", 0, 0},
        {"levels/texts.txt",
         [&](const std::string& f)
         { writeFile(f, valid + "2147483647\n0 0 2147483647\n" + std::string(2 * 1024 * 1024, '\n')); },
         // A megabyte of empty lines: a quarter of a million are kept.
         "", "#+#\n+.+\n#.#\n", 1, 256 * 1024},
        // A megabyte of rocks in rows of 65535: every one on the grid (the first 128 of each of the
        // 16 rows within the file's megabyte), and one per cell of the largest grid off it.
        {"levels/crowd.txt",
         [&](const std::string& f) { writeFile(f, "65535 65535\nt\nm\n" + std::string(1024 * 1024, 'r')); },
         "", emptyGrid, 16 * 128 + 128 * 128, 0},
    };
    open({{"levels/before.txt", before}});

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.file);
        c.make(c.file);
        level->load(3, "levels/before.txt", false);
        ASSERT_EQ(grid(), "#..#\n#..#\n");

        const long memoryBefore = peakMemoryKb();
        const auto start = std::chrono::steady_clock::now();
        std::string error;
        try
        {
            level->load(7, c.file, false);
        }
        catch (Exception* e)
        {
            error = e->getMessage();
            delete e;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 3.0);
        EXPECT_LT(peakMemoryKb() - memoryBefore, 64 * 1024);

        EXPECT_EQ(error, c.error);
        if (error.empty())
        {
            EXPECT_EQ(grid(), c.grid);
            EXPECT_EQ(level->getEntityCount(), c.things);
            EXPECT_EQ(level->getCurrentLevel(), 7u);
            EXPECT_EQ(level->getTilemap()->getMessages(CellPos{0, 0}).size(), c.texts);
            continue;
        }
        // Nothing of the broken file was taken over.
        EXPECT_EQ(grid(), "#..#\n#..#\n");
        EXPECT_EQ(things(), "b@1,0 r@1,1");
        EXPECT_EQ(level->getCurrentLevel(), 3u);
        EXPECT_EQ(level->getName(), "before");
        EXPECT_EQ(level->getDiamondCount(), 1);
        EXPECT_EQ(playerStart().x, 2 * 64 + 32);
        EXPECT_EQ(playerStart().y, 32);
    }
    harness->step(2);
    unlink("levels/padded.txt");
    unlink("levels/lost.txt");
}

} // namespace
