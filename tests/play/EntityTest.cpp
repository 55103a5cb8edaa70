// Step movement and cell registration of the entity base, on a level run by the real engine.
#include "GlRecorder.h"
#include "Harness.h"
#include "TestPictures.h"

#include "Core.h"
#include "Device.h"
#include "Entity.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "Sprite.h"
#include "Tile.h"
#include "Tilemap.h"
#include "VideoDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/stat.h>

namespace
{

// A 6 x 4 level of empty cells, the player in the bottom-left corner.
struct EmptyLevel
{
    Harness harness;

    EmptyLevel()
        : harness(makeWorkDir(
              {{"levels.ini", "levels/test.txt\n"},
               {"levels/test.txt", "6 4\ntileset1\nnone.ogg\n......\n......\n......\np.....\n0\n"}}))
    {
        EXPECT_EQ(0, harness.initResult()) << harness.logText();
        Core::getGame()->getLevel()->load(0, "levels/test.txt", false);
    }
    Tilemap* tilemap() const { return Core::getGame()->getLevel()->getTilemap(); }
    // Whether entity is on the tile list of cell (x, y).
    bool listed(Entity* entity, uint16_t x, uint16_t y) const
    {
        Tile* tile = tilemap()->getTile(CellPos{x, y});
        for (Entity* e = tile->firstEntity(); e != nullptr; e = tile->nextEntity())
        {
            if (e == entity)
            {
                return true;
            }
        }
        return false;
    }
    int listings(Entity* entity) const
    {
        int count = 0;
        for (uint16_t x = 0; x < tilemap()->getWidth(); ++x)
        {
            for (uint16_t y = 0; y < tilemap()->getHeight(); ++y)
            {
                count += listed(entity, x, y) ? 1 : 0;
            }
        }
        return count;
    }
};

Vec2 cellCentre(int x, int y)
{
    return Vec2{x * 64.0f + 32.0f, y * 64.0f + 32.0f};
}

} // namespace

TEST(EntityTest, StepTakesThirteenUpdatesAndWasMovingLagsOne)
{
    EmptyLevel level;
    Entity entity;
    entity.setPosition(cellCentre(1, 1));
    entity.addToCells();
    EXPECT_TRUE(level.listed(&entity, 1, 1));
    EXPECT_EQ(1, level.listings(&entity));

    entity.setDirection(Direction{1, 0});
    for (int i = 1; i <= 12; ++i)
    {
        entity.update();
        ASSERT_TRUE(entity.isMoving()) << "update " << i;
        if (i == 6)
        {
            // Halfway between two columns: listed in both.
            EXPECT_NEAR(128.0f, entity.getPosition().x, 0.01f);
            EXPECT_TRUE(level.listed(&entity, 1, 1));
            EXPECT_TRUE(level.listed(&entity, 2, 1));
            EXPECT_EQ(2, level.listings(&entity));
        }
    }
    EXPECT_NEAR(160.0f, entity.getPosition().x, 0.01f);
    entity.update(); // the 13th ends the step without moving
    EXPECT_FALSE(entity.isMoving());
    EXPECT_TRUE(entity.wasMoving());
    EXPECT_NEAR(160.0f, entity.getPosition().x, 0.01f);
    EXPECT_EQ(2, entity.getCell().x);
    EXPECT_EQ(1, level.listings(&entity));
    EXPECT_TRUE(level.listed(&entity, 2, 1));
    entity.update();
    EXPECT_FALSE(entity.wasMoving());
}

TEST(EntityTest, StandingStepAndDiagonalMoveOnlyAlongX)
{
    EmptyLevel level;
    Entity entity;
    entity.setPosition(cellCentre(2, 2));
    entity.setDirection(Direction{0, 0});
    for (int i = 0; i < 12; ++i)
    {
        entity.update();
    }
    EXPECT_TRUE(entity.isMoving());
    entity.update();
    EXPECT_FALSE(entity.isMoving());
    EXPECT_FLOAT_EQ(cellCentre(2, 2).x, entity.getPosition().x);
    EXPECT_FLOAT_EQ(cellCentre(2, 2).y, entity.getPosition().y);

    entity.setDirection(Direction{-1, 1});
    entity.update();
    EXPECT_LT(entity.getPosition().x, cellCentre(2, 2).x);
    EXPECT_FLOAT_EQ(cellCentre(2, 2).y, entity.getPosition().y);
}

TEST(EntityTest, EntityOffTheGridIsListedNowhere)
{
    EmptyLevel level;
    Tile* outside = level.tilemap()->getTile(CellPos{65535, 0});
    {
        Entity left;
        left.setPosition(Vec2{-32.0f, 32.0f}); // a whole column left of the grid
        left.addToCells();
        Entity far;
        far.setPosition(cellCentre(200, 1));
        far.addToCells();
        EXPECT_FALSE(outside->hasEntities());
        EXPECT_EQ(0, level.listings(&far));

        // Walking off the right edge: listed in the last column only until it has left it.
        Entity walker;
        walker.setPosition(cellCentre(5, 0));
        walker.setDirection(Direction{1, 0});
        for (int i = 0; i < 13; ++i)
        {
            walker.update();
        }
        EXPECT_EQ(6, walker.getCell().x);
        EXPECT_FALSE(outside->hasEntities());
        EXPECT_EQ(0, level.listings(&walker));
    }
    EXPECT_FALSE(outside->hasEntities());
    // The level still runs with them gone.
    level.harness.step(3);
}

TEST(EntityTest, DistanceAndCell)
{
    EmptyLevel level;
    Entity a;
    Entity b;
    a.setPosition(Vec2{10.0f, 20.0f});
    b.setPosition(Vec2{13.0f, 24.0f});
    EXPECT_FLOAT_EQ(5.0f, a.distanceTo(&b));
    b.setPosition(Vec2{127.9f, 64.0f});
    EXPECT_EQ(1, b.getCell().x);
    EXPECT_EQ(1, b.getCell().y);
    EXPECT_FALSE(a.isBomb());
}

TEST(EntityTest, ThingsReadBeyondTheCappedGridStayOffItsLists)
{
    // 130 columns are capped to 128: a rock, an ant, a lit-able bomb and the player land beyond.
    const std::string row0 = std::string(127, '.') + "rEp";
    const std::string row1 = std::string(127, '.') + "*..";
    Harness harness(
        makeWorkDir({{"levels.ini", "levels/wide.txt\n"},
                     {"levels/wide.txt", "130 2\ntileset1\nnone.ogg\n" + row0 + "\n" + row1 + "\n0\n"}}));
    ASSERT_EQ(0, harness.initResult()) << harness.logText();
    Game* game = Core::getGame();
    game->getLevel()->load(0, "levels/wide.txt", false);
    game->setState(2, false);
    Tilemap* tilemap = game->getLevel()->getTilemap();
    ASSERT_EQ(128, tilemap->getWidth());
    Tile* outside = tilemap->getTile(CellPos{128, 0});

    harness.hold(SDLK_LEFT);
    harness.step(30);
    EXPECT_FALSE(outside->hasEntities());
    // A blast centred beyond the grid touches only the last column.
    tilemap->explode(CellPos{128, 1});
    EXPECT_TRUE(tilemap->getTile(CellPos{127, 1})->isExploding());
    harness.step(30);
    EXPECT_FALSE(outside->hasEntities());
}

namespace
{

// A thing with a 64 x 64 picture of its own.
struct PictureThing : Entity
{
    PictureThing()
    {
        sprite = new Sprite(Core::getDevice()->getVideoDriver()->getTexture("textures/thing.png", false));
    }
};

// A level and our own pictures only: "textures/thing.png" and a mole sheet of 64 x 64 frames.
std::string pictureWorkDir()
{
    const std::string dir = makeWorkDir(
        {{"levels.ini", "levels/test.txt\n"}, {"levels/test.txt", "3 2\ntileset1\nnone.ogg\n...\np..\n0\n"}},
        false);
    mkdir((dir + "/textures").c_str(), 0755);
    writePicture(dir + "/textures/thing.png", 64, 64, [](unsigned, unsigned) { return 0xFF8000FFu; });
    writeGridPicture(dir + "/textures/mole.png", 512, 512, 8, 8);
    return dir;
}

} // namespace

TEST(EntityTest, DrawingSkipsThingsOutsideTheCameraExceptInTheOverview)
{
    Harness harness(pictureWorkDir());
    ASSERT_EQ(0, harness.initResult()) << harness.logText();
    Game* game = Core::getGame();
    game->getLevel()->load(0, "levels/test.txt", false);
    game->setState(2, false);
    harness.step();

    // The camera is 874 wide at x 0: a box touching its right edge is drawn, one beyond is not.
    PictureThing thing;
    thing.setPosition(Vec2{874.0f + 32.0f, 100.0f});
    EXPECT_EQ(1u, recordQuads([&] { thing.draw(); }).size());
    thing.setPosition(Vec2{874.0f + 33.0f, 100.0f});
    EXPECT_TRUE(recordQuads([&] { thing.draw(); }).empty());

    game->setState(3, false);
    EXPECT_EQ(1u, recordQuads([&] { thing.draw(); }).size());
}

TEST(EntityTest, PlayerBlinksInTensOfFramesWhilePlaying)
{
    Harness harness(pictureWorkDir());
    ASSERT_EQ(0, harness.initResult()) << harness.logText();
    Game* game = Core::getGame();
    game->getLevel()->load(0, "levels/test.txt", false);
    game->setState(2, false);
    Entity_Player* player = game->getPlayer();
    auto drawn = [&] { return !recordQuads([&] { player->draw(); }).empty(); };

    harness.step(8); // blink 9
    EXPECT_TRUE(drawn());
    harness.step(); // blink 10
    EXPECT_FALSE(drawn());
    harness.step(9); // blink 19
    EXPECT_FALSE(drawn());
    harness.step(); // blink 20
    EXPECT_TRUE(drawn());
    harness.step(10); // blink 30, but only while playing
    EXPECT_FALSE(drawn());
    game->setState(3, false);
    EXPECT_TRUE(drawn());
}
