// The grid and its tiles on small levels run by the real engine.
#include "GlRecorder.h"
#include "Harness.h"
#include "TestPictures.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Entity.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "Message.h"
#include "Tile.h"
#include "Tile_Door.h"
#include "Tile_Empty.h"
#include "Tile_Sand.h"
#include "Tile_Wall.h"
#include "Tilemap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

// A level file with the head lines every level needs, the given rows and no texts.
std::string levelFile(const std::vector<std::string>& rows)
{
    std::string text =
        std::to_string(rows[0].size()) + " " + std::to_string(rows.size()) + "\ntileset1\nnone.ogg\n";
    for (const std::string& row : rows)
    {
        text += row + "\n";
    }
    return text + "0\n";
}

// The real engine with one level loaded and being played.
struct PlayLevel
{
    Harness harness;

    explicit PlayLevel(const std::vector<std::string>& rows)
        : harness(makeWorkDir({{"levels.ini", "levels/test.txt\n"}, {"levels/test.txt", levelFile(rows)}}))
    {
        EXPECT_EQ(0, harness.initResult()) << harness.logText();
        Core::getGame()->getLevel()->load(0, "levels/test.txt", false);
        Core::getGame()->setState(2, false);
    }
    Tilemap* tilemap() const { return Core::getGame()->getLevel()->getTilemap(); }
    Entity_Player* player() const { return Core::getGame()->getPlayer(); }
    Tile* tile(uint16_t x, uint16_t y) const { return tilemap()->getTile(CellPos{x, y}); }
};

bool isEmptyTile(Tile* tile)
{
    return dynamic_cast<Tile_Empty*>(tile) != nullptr;
}

} // namespace

TEST(TileTest, CellsOutsideTheGridAreOneWall)
{
    PlayLevel play({"...", "p..", "..."});
    Tilemap* map = play.tilemap();
    Tile* outside = map->getTile(CellPos{65535, 0});
    ASSERT_NE(nullptr, outside);
    EXPECT_TRUE(outside->isSolid());
    EXPECT_FALSE(outside->isSand());
    EXPECT_TRUE(dynamic_cast<Tile_Wall*>(outside) != nullptr);
    for (const CellPos cell : {CellPos{3, 0}, CellPos{0, 3}, CellPos{0, 65535}, CellPos{65535, 65535},
                               CellPos{127, 127}, CellPos{128, 0}})
    {
        EXPECT_EQ(outside, map->getTile(cell)) << cell.x << "," << cell.y;
    }
    EXPECT_TRUE(isEmptyTile(map->getTile(CellPos{2, 2})));

    // Nothing is stored outside: the tile handed over is deleted (LeakSanitizer would see it).
    map->setTile(CellPos{3, 0}, new Tile_Empty());
    map->setTile(CellPos{65535, 1}, new Tile_Empty());
    EXPECT_EQ(outside, map->getTile(CellPos{3, 0}));
    map->addMessage(CellPos{128, 0}, "never shown");
    EXPECT_TRUE(map->getMessages(CellPos{128, 0}).empty());
}

TEST(TileTest, GridIsCappedAt128)
{
    PlayLevel play({"p.."});
    CellPos size{200, 10};
    play.tilemap()->create(size);
    EXPECT_EQ(128, size.x);
    EXPECT_EQ(10, size.y);
    EXPECT_EQ(128, play.tilemap()->getWidth());
    EXPECT_EQ(10, play.tilemap()->getHeight());
    EXPECT_TRUE(isEmptyTile(play.tilemap()->getTile(CellPos{127, 9})));
}

TEST(TileTest, ExplosionSparesWallsClosedDoorsExitAndOutside)
{
    // Blast at (1, 1): walls, the closed door and the exit stay; sand, empty and the round
    // wall are cleared; the open blue door keeps its tile.
    PlayLevel play({"#1x....", "+.O....", "2.#...p"});
    Tile* wall = play.tile(0, 0);
    Tile* closedDoor = play.tile(1, 0);
    Tile* exitTile = play.tile(2, 0);
    Tile* openDoor = play.tile(0, 2);
    Tile* roundWall = play.tile(2, 1);
    static_cast<Tile_Door*>(openDoor)->open();
    ASSERT_FALSE(openDoor->isSolid());

    play.tilemap()->explode(CellPos{1, 1});

    EXPECT_EQ(wall, play.tile(0, 0));
    EXPECT_EQ(closedDoor, play.tile(1, 0));
    EXPECT_TRUE(closedDoor->isSolid());
    EXPECT_FALSE(closedDoor->isExploding());
    EXPECT_EQ(exitTile, play.tile(2, 0));
    EXPECT_FALSE(exitTile->isExploding());
    EXPECT_EQ(openDoor, play.tile(0, 2));
    EXPECT_TRUE(openDoor->isExploding());
    EXPECT_NE(roundWall, play.tile(2, 1));
    for (const CellPos cell : {CellPos{0, 1}, CellPos{1, 1}, CellPos{2, 1}, CellPos{1, 2}})
    {
        Tile* tile = play.tile(cell.x, cell.y);
        EXPECT_TRUE(isEmptyTile(tile)) << cell.x << "," << cell.y;
        EXPECT_TRUE(tile->isExploding()) << cell.x << "," << cell.y;
        EXPECT_FALSE(tile->isSolid() || tile->isSand());
    }
    EXPECT_FALSE(play.player()->isDead());

    // At the grid's corner the five outside cells are walls: spared, and nothing wraps round.
    Tile* farCorner = play.tile(6, 2);
    play.tilemap()->explode(CellPos{0, 0});
    play.tilemap()->explode(CellPos{65535, 65535});
    EXPECT_EQ(wall, play.tile(0, 0));
    EXPECT_EQ(farCorner, play.tile(6, 2));
    EXPECT_FALSE(farCorner->isExploding());
}

TEST(TileTest, BonusesSurviveABlastAndOtherThingsGoAtTheEndOfTheStep)
{
    // Blast at (2, 1): a rock, a box, a diamond, an apple, a key and an ant in its nine cells.
    PlayLevel play({"#######", "#rZb..#", "#B\"e..#", "#.....#", "#....p#"});
    Level* level = Core::getGame()->getLevel();
    auto kinds = [&]
    {
        std::string list;
        for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
        {
            list += e->isRock() ? 'r' : e->isBox() ? 'Z' : e->isEnemy() ? 'e' : e->isKey() ? 'k' : 'b';
        }
        return list;
    };
    ASSERT_EQ("rZbbke", kinds()); // diamonds and apples both show as b

    ASSERT_FALSE(Core::getAudioDriver()->isSoundBlocked("sounds/explosion.wav"));
    play.tilemap()->explode(CellPos{2, 1});
    // Played unblocked: another blast within 5 steps stays silent.
    EXPECT_TRUE(Core::getAudioDriver()->isSoundBlocked("sounds/explosion.wav"));
    EXPECT_EQ("rZbbke", kinds()); // nothing is deleted before the end of a step
    play.harness.step();
    EXPECT_EQ("bbk", kinds());
    EXPECT_FALSE(play.player()->isDead());
}

TEST(TileTest, PlayerDiesCloserThan32PixelsToABlast)
{
    PlayLevel play({".......", "p......", "......."});
    Entity_Player* player = play.player();
    struct Case
    {
        uint16_t column;
        float offset;
        bool dies;
    };
    for (const Case c : {Case{2, 31.9f, true}, Case{4, 32.0f, false}, Case{6, -31.9f, true}})
    {
        player->reset();
        Tile* tile = play.tile(c.column, 1);
        player->setPosition(Vec2{c.column * 64.0f + 32.0f + c.offset, 96.0f});
        tile->explode();
        EXPECT_EQ(c.dies, player->isDead()) << "offset " << c.offset;
    }
}

TEST(TileTest, ExplosionLasts28Updates)
{
    PlayLevel play({"p....", "....."});
    Tile* tile = play.tile(4, 1);
    tile->explode();
    for (int i = 1; i <= 27; ++i)
    {
        tile->update();
        ASSERT_TRUE(tile->isExploding()) << "update " << i;
    }
    tile->explode(); // still running: ignored
    tile->update();
    EXPECT_FALSE(tile->isExploding());
    tile->explode(); // over: it can go off again
    EXPECT_TRUE(tile->isExploding());
}

TEST(TileTest, SandPicksItsPictureFromItsNeighbours)
{
    PlayLevel play({"+++..", "+++.+", "+++..", "p...."});
    Tile_Sand* inner = dynamic_cast<Tile_Sand*>(play.tile(1, 1));
    Tile_Sand* lone = dynamic_cast<Tile_Sand*>(play.tile(4, 1));
    Tile_Sand* corner = dynamic_cast<Tile_Sand*>(play.tile(0, 0));
    ASSERT_TRUE(inner && lone && corner);
    EXPECT_EQ(0, inner->getMask());
    EXPECT_EQ(15, lone->getMask());
    EXPECT_EQ(1 | 8, corner->getMask()); // outside cells above and left count as not sand

    const Rect a = inner->getTextureRect();
    EXPECT_FLOAT_EQ(0.0f, a.left);
    EXPECT_FLOAT_EQ(0.125f, a.top);
    EXPECT_FLOAT_EQ(0.0625f, a.right);
    EXPECT_FLOAT_EQ(0.1875f, a.bottom);
    const Rect b = lone->getTextureRect();
    EXPECT_FLOAT_EQ(0.875f, b.left);
    EXPECT_FLOAT_EQ(0.25f, b.top);
    EXPECT_FLOAT_EQ(0.9375f, b.right);
    EXPECT_FLOAT_EQ(0.3125f, b.bottom);
}

TEST(TileTest, IsFreeForAtDistanceZeroAndAtALimit)
{
    // A rock at (3, 1), a red ant at (3, 3); the player at (0, 1).
    PlayLevel play({"#+.#...", "p..r...", ".......", "...e..."});
    Entity_Player* player = play.player();
    EXPECT_FALSE(play.tile(1, 0)->isFreeFor(false, false, nullptr, 0.0f)); // sand
    EXPECT_FALSE(play.tile(0, 0)->isFreeFor(false, false, nullptr, 0.0f)); // wall
    EXPECT_TRUE(play.tile(0, 0)->isFreeFor(false, false, nullptr, 63.0f)); // flags not looked at
    EXPECT_TRUE(play.tile(2, 0)->isFreeFor(false, false, nullptr, 0.0f));

    Tile* rockTile = play.tile(3, 1);
    ASSERT_TRUE(rockTile->hasEntities());
    Entity* rock = rockTile->firstEntity();
    EXPECT_FALSE(rockTile->isFreeFor(false, false, nullptr, 0.0f));
    EXPECT_TRUE(rockTile->isFreeFor(false, false, rock, 0.0f)); // never blocks itself

    // Strict at the limit: 63 px away does not block a 63 px test, 62.5 px does.
    player->setPosition(Vec2{rock->getPosition().x - 63.0f, rock->getPosition().y});
    EXPECT_TRUE(rockTile->isFreeFor(false, false, player, 63.0f));
    player->setPosition(Vec2{rock->getPosition().x - 62.5f, rock->getPosition().y});
    EXPECT_FALSE(rockTile->isFreeFor(false, false, player, 63.0f));
    EXPECT_TRUE(rockTile->isFreeFor(false, false, player, -1.0f));

    Tile* antTile = play.tile(3, 3);
    ASSERT_TRUE(antTile->hasEntities());
    EXPECT_FALSE(antTile->isFreeFor(false, false, nullptr, 0.0f));
    EXPECT_TRUE(antTile->isFreeFor(true, false, nullptr, 0.0f));
}

TEST(TileTest, ExitOpensWhenEveryDiamondIsCollectedAndCompletesAtItsCentre)
{
    PlayLevel play({"#######", "#p.b.x#", "#######"});
    Harness& h = play.harness;
    Tile* exitTile = play.tile(5, 1);
    h.step();
    EXPECT_FALSE(exitTile->isOpen());

    h.hold(SDLK_RIGHT);
    int steps = 0;
    while (play.player()->getDiamonds() == 0 && steps < 60)
    {
        h.step();
        ++steps;
    }
    ASSERT_EQ(1, play.player()->getDiamonds());
    EXPECT_TRUE(exitTile->isOpen());
    EXPECT_EQ("exit opened", Core::getGame()->getMessageText());
    EXPECT_TRUE(exitTile->isSolid());
    EXPECT_NE(std::string::npos, h.logText().find("Tilemap: created (7x3)"));

    while (!Core::getGame()->isLevelCompleted() && steps < 200)
    {
        h.step();
        ++steps;
    }
    ASSERT_TRUE(Core::getGame()->isLevelCompleted());
    EXPECT_NEAR(5 * 64 + 32, play.player()->getPosition().x, 1.0f);
    EXPECT_EQ(5, play.player()->getCell().x);
}

TEST(TileTest, LevelWithoutDiamondsOpensItsExitAtOnce)
{
    PlayLevel play({"p.x"});
    EXPECT_FALSE(play.tile(2, 0)->isOpen());
    play.harness.step();
    EXPECT_TRUE(play.tile(2, 0)->isOpen());
    EXPECT_EQ("exit opened", Core::getGame()->getMessageText());
}

namespace
{

// The recorded quad whose top-left corner is at window pixel (x, y), or null.
const RecordedQuad* quadAt(const std::vector<RecordedQuad>& quads, float x, float y)
{
    for (const RecordedQuad& quad : quads)
    {
        if (std::abs(quad.left() - x) < 0.5f && std::abs(quad.top() - y) < 0.5f)
        {
            return &quad;
        }
    }
    return nullptr;
}

float minS(const RecordedQuad& quad)
{
    float s = quad.corners[0].s;
    for (const RecordedVertex& v : quad.corners)
    {
        s = std::min(s, v.s);
    }
    return s;
}

float minT(const RecordedQuad& quad)
{
    float t = quad.corners[0].t;
    for (const RecordedVertex& v : quad.corners)
    {
        t = std::min(t, v.t);
    }
    return t;
}

} // namespace

TEST(TileTest, GridDrawsTheCameraRangeWithWallsBeyondTheLevel)
{
    PlayLevel play({"#O+", "+.p"});
    play.harness.step();
    Tilemap* map = play.tilemap();
    const TileRange range = map->getVisibleRange(false);
    EXPECT_EQ(0, range.x0);
    EXPECT_EQ(0, range.y0);
    EXPECT_EQ(15, range.x1);
    EXPECT_EQ(14, range.y1);

    // Layer 1: one quad per wall, round wall and sand cell, and a wall for each of the
    // 15 x 14 - 6 cells beyond the 3 x 2 level.
    const std::vector<RecordedQuad> quads = recordQuads([&] { map->draw(1, false); });
    EXPECT_EQ(15u * 14u - 6u + 4u, quads.size());
    struct Expected
    {
        int column;
        int row;
        float s;
        float t;
    };
    for (const Expected e :
         {Expected{0, 0, 0.0f, 0.0f}, Expected{1, 0, 0.125f, 0.0f}, Expected{2, 0, 0.875f, 0.25f},
          Expected{0, 1, 0.875f, 0.25f}, Expected{3, 0, 0.0f, 0.0f}, Expected{14, 11, 0.0f, 0.0f}})
    {
        const RecordedQuad* quad = quadAt(quads, e.column * 64.0f, e.row * 64.0f);
        ASSERT_NE(nullptr, quad) << e.column << "," << e.row;
        EXPECT_NEAR(e.column * 64.0f + 64.0f, quad->right(), 0.5f);
        EXPECT_NEAR(e.row * 64.0f + 64.0f, quad->bottom(), 0.5f);
        EXPECT_NEAR(e.s, minS(*quad), 1e-4f) << e.column << "," << e.row;
        EXPECT_NEAR(e.t, minT(*quad), 1e-4f) << e.column << "," << e.row;
    }
    EXPECT_EQ(nullptr, quadAt(quads, 64.0f, 64.0f)); // the empty cell draws nothing

    // Layer 0: the background once over the range (the window's edge may cut it in two),
    // its picture repeated once per cell.
    const std::vector<RecordedQuad> background = recordQuads([&] { map->draw(0, false); });
    ASSERT_FALSE(background.empty());
    EXPECT_LE(background.size(), 2u);
    float maxS = 0.0f;
    float right = 0.0f;
    for (const RecordedQuad& quad : background)
    {
        right = std::max(right, quad.right());
        for (const RecordedVertex& v : quad.corners)
        {
            maxS = std::max(maxS, v.s);
        }
    }
    EXPECT_NEAR(15 * 64.0f, right, 0.5f);
    EXPECT_NEAR(15.0f, maxS, 1e-3f);
}

TEST(TileTest, PlayedLevelShowsItsCellsFromTheTileset)
{
    // Our own pictures: a tileset whose 16 x 16 cells each have a colour of their own, a plain
    // background and a clear player light. The level is drawn 150 units right of the window's edge.
    const std::string level = "7 3\ntileset1\nnone.ogg\n...#O+.\n.......\np......\n0\n";
    const std::string dir =
        makeWorkDir({{"levels.ini", "levels/test.txt\n"}, {"levels/test.txt", level}}, false);
    mkdir((dir + "/textures").c_str(), 0755);
    mkdir((dir + "/textures/tileset1").c_str(), 0755);
    writeGridPicture(dir + "/textures/tileset1/tileset.png", 256, 256, 16, 16);
    writePicture(dir + "/textures/tileset1/tile-empty.png", 16, 16,
                 [](unsigned, unsigned) { return 0x204060FFu; });
    writePicture(dir + "/textures/player-light.png", 8, 8, [](unsigned, unsigned) { return 0u; });

    Harness harness(dir);
    ASSERT_EQ(0, harness.initResult()) << harness.logText();
    Core::getGame()->getLevel()->load(0, "levels/test.txt", false);
    Core::getGame()->setState(2, false);
    harness.step(105); // past the fade-in
    harness.saveScreenshot("tile-cells");

    auto cellPixel = [&](int column, int row)
    { return harness.pixel(150 + column * 64 + 32, row * 64 + 32); };
    EXPECT_EQ(gridColour(0, 0), cellPixel(3, 0));  // wall
    EXPECT_EQ(gridColour(2, 0), cellPixel(4, 0));  // round wall
    EXPECT_EQ(gridColour(14, 4), cellPixel(5, 0)); // sand, mask 15
    EXPECT_EQ(0x204060u, cellPixel(6, 0));         // empty: the background
    EXPECT_EQ(gridColour(0, 0), cellPixel(7, 0));  // beyond the level: wall
    EXPECT_EQ(0x204060u, cellPixel(5, 1));
    EXPECT_EQ(gridColour(0, 0), cellPixel(5, 3)); // below the level: wall
}

TEST(TileTest, CellTextIsShownOnceWhenThePlayerReachesTheCellCentre)
{
    const std::string level = "6 1\ntileset1\nnone.ogg\np.....\n1\n2 0 2\nfirst line\n  second line\n";
    Harness harness(makeWorkDir({{"levels.ini", "levels/test.txt\n"}, {"levels/test.txt", level}}));
    ASSERT_EQ(0, harness.initResult()) << harness.logText();
    Game* game = Core::getGame();
    game->getLevel()->load(0, "levels/test.txt", false);
    game->setState(2, false);
    Tilemap* map = game->getLevel()->getTilemap();
    ASSERT_EQ(2u, map->getMessages(CellPos{2, 0}).size());

    harness.hold(SDLK_RIGHT);
    int steps = 0;
    while (game->getState() == 2 && steps < 60)
    {
        harness.step();
        ++steps;
    }
    ASSERT_EQ(6, game->getState());
    // The 12th frame of the second step lands on the cell's centre.
    EXPECT_EQ(25, steps);
    EXPECT_NEAR(2 * 64 + 32, game->getPlayer()->getPosition().x, 1.0f);
    const std::vector<std::string> expected{"first line", "  second line"};
    EXPECT_EQ(expected, game->getMessage()->getLines());
    EXPECT_TRUE(map->getMessages(CellPos{2, 0}).empty());

    // Back on the cell later: nothing more to show.
    game->setState(2, false);
    harness.releaseAll();
    harness.hold(SDLK_LEFT);
    harness.step(13 * 2);
    harness.releaseAll();
    harness.hold(SDLK_RIGHT);
    harness.step(13 * 2);
    EXPECT_EQ(2, game->getState());
}
