#include "Level.h"
#include "Core.h"
#include "Device.h"
#include "Entity.h"
#include "Entity_Player.h"
#include "Game.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "TileSize.h"
#include "View.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

const char* const roomLevel = "6 4\ntileset1\nm.ogg\n######\n#p.BB#\n#....#\n######\n0\n";

class LevelStep : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        harness.reset(new Harness(
            makeWorkDir({{"levels.ini", "levels/easy/room.txt\n"}, {"levels/easy/room.txt", roomLevel}})));
        ASSERT_EQ(harness->initResult(), 0);
        game = Core::getGame();
        game->initLevel(0);
        game->setState(2, true);
        harness->step();
        level = game->getLevel();
    }

    std::unique_ptr<Harness> harness;
    Game* game = nullptr;
    Level* level = nullptr;
};

TEST_F(LevelStep, AThingScheduledTwiceIsDeletedOnceAtTheEndOfTheStepAndThePlayerNever)
{
    ASSERT_EQ(level->getEntityCount(), 2u);
    Entity* apple = level->firstEntity();
    level->scheduleRemoval(apple);
    level->scheduleRemoval(apple);
    level->scheduleRemoval(game->getPlayer());
    EXPECT_EQ(level->getEntityCount(), 2u);
    harness->step();
    EXPECT_EQ(level->getEntityCount(), 1u);
    EXPECT_NE(level->firstEntity(), apple);
    EXPECT_FALSE(game->getPlayer()->isDead());
    harness->step(2);
    EXPECT_EQ(level->getEntityCount(), 1u);
}

TEST_F(LevelStep, TheOverviewKeyOpensTheOverviewOnlyWhileThePlayerLives)
{
    game->getPlayer()->die(false);
    harness->press(SDLK_m);
    harness->step();
    EXPECT_EQ(game->getState(), 2);
    // The press was left for another reader.
    EXPECT_TRUE(Core::getDevice()->wasKeyPressed(SDLK_m));

    game->initLevel(0);
    game->setState(2, true);
    harness->step();
    harness->press(SDLK_m);
    harness->step();
    EXPECT_EQ(game->getState(), 3);
}

TEST_F(LevelStep, TheLoadedFlagHoldsOnlyForTheFirstUpdateAfterALoad)
{
    EXPECT_FALSE(level->isLoaded());
    level->load(0, "levels/easy/room.txt", false);
    EXPECT_TRUE(level->isLoaded());
    harness->step();
    EXPECT_FALSE(level->isLoaded());
}

// A thing that writes its name into a shared log on every update; on its first update it may
// move itself or add things to the level.
struct LoggingThing : Entity
{
    LoggingThing(std::vector<std::string>& log, const std::string& name, float row,
                 std::function<void(LoggingThing&)> onFirstUpdate = nullptr)
        : log(log), name(name), onFirstUpdate(onFirstUpdate)
    {
        setPosition(Vec2{96.0f, row * tileHeight + tileHeight / 2});
    }
    void update() override
    {
        log.push_back(name);
        if (onFirstUpdate)
        {
            auto once = onFirstUpdate;
            onFirstUpdate = nullptr;
            once(*this);
        }
    }
    void moveRows(int rows) { setPosition(Vec2{x, y + rows * tileHeight}); }

    std::vector<std::string>& log;
    std::string name;
    std::function<void(LoggingThing&)> onFirstUpdate;
};

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
    {
        text += (text.empty() ? "" : " ") + name;
    }
    return text;
}

TEST_F(LevelStep, ThingsUpdateRowByRowFromTheBottomInListOrderWithinARow)
{
    // Rows 0 to 3. A thing that climbs a row is met again in that row's turn, one that drops is
    // not; things added during the walk are met in this step only if their row's turn is to come;
    // things above or below the grid are never updated.
    std::vector<std::string> log;
    auto add = [&](const std::string& name, float row, std::function<void(LoggingThing&)> first = nullptr)
    { level->addEntity(new LoggingThing(log, name, row, first)); };
    add("top", 0);
    add("climber", 2, [](LoggingThing& t) { t.moveRows(-1); });
    add("diver", 1, [](LoggingThing& t) { t.moveRows(1); });
    add("bottom", 3,
        [&](LoggingThing&)
        {
            add("late", 1);
            add("now", 3);
        });
    add("mid", 2, [&](LoggingThing&) { add("passed", 3); });
    add("below", 4);
    add("above", -1.6f);

    harness->step();
    EXPECT_EQ(joined(log), "bottom now climber mid climber diver late top");
    log.clear();
    harness->step();
    EXPECT_EQ(joined(log), "bottom now passed diver mid climber late top");
}

TEST(LevelDraw, LayersInOrderWithTheLightCentredOnThePlayer)
{
    // 20 x 15 cells, the player near the bottom-right corner: the camera stops at (406, 192), so
    // the player is not in the middle of the picture.
    std::string rows;
    for (int y = 0; y < 15; ++y)
    {
        rows += y == 14 ? std::string(20, '#') : y == 13 ? "...............1r+p." : std::string(20, '.');
        rows += "\n";
    }
    Harness harness(makeWorkDir({{"levels.ini", "levels/easy/big.txt\n"},
                                 {"levels/easy/big.txt", "20 15\ntileset1\nm.ogg\n" + rows + "0\n"}}));
    ASSERT_EQ(harness.initResult(), 0);
    Game* game = Core::getGame();
    game->initLevel(0);
    game->setState(2, true);
    harness.step(2); // the start blink shows the player for its first 9 steps
    Level* level = game->getLevel();
    const Vec2 corner = level->getView()->getPosition();
    ASSERT_EQ(corner.x, 406);
    ASSERT_EQ(corner.y, 192);
    level->setPlayerLight(true);

    for (const Vec2 player : {Vec2{18 * 64 + 32, 13 * 64 + 32}, Vec2{10 * 64 + 32, 5 * 64 + 32}})
    {
        game->getPlayer()->setPosition(player);
        const std::vector<RecordedQuad> quads = recordQuads([&] { level->draw(); });
        // The first quad drawn whose top-left corner is at level pixel (x, y), or -1.
        auto quadAt = [&](float x, float y)
        {
            for (std::size_t i = 0; i < quads.size(); ++i)
            {
                if (std::abs(quads[i].left() - (x - corner.x)) < 0.5f &&
                    std::abs(quads[i].top() - (y - corner.y)) < 0.5f)
                {
                    return static_cast<int>(i);
                }
            }
            return -1;
        };
        int light = -1;
        for (std::size_t i = 0; i < quads.size(); ++i)
        {
            if (std::abs(quads[i].corners[0].a - 0.5f) < 0.01f)
            {
                light = static_cast<int>(i);
            }
        }
        const int rock = quadAt(16 * 64, 13 * 64);
        const int mole = quadAt(player.x - 32, player.y - 32);
        const int door = quadAt(15 * 64, 13 * 64);
        const int sand = quadAt(17 * 64, 13 * 64);
        const int wall = quadAt(16 * 64, 14 * 64);
        SCOPED_TRACE(player.x);
        ASSERT_TRUE(rock > 0 && mole > 0 && door > 0 && sand > 0 && wall > 0 && light > 0);
        // Background first, then things, the player, doors and exits, sand and walls, the light.
        EXPECT_LT(rock, mole);
        EXPECT_LT(mole, door);
        EXPECT_LT(door, sand);
        EXPECT_LT(door, wall);
        EXPECT_LT(sand, light);
        EXPECT_LT(wall, light);
        EXPECT_EQ(light, static_cast<int>(quads.size()) - 1);

        // The window clips the light's quad; its texture coordinates still place its centre.
        const RecordedQuad& overlay = quads[light];
        const RecordedVertex& a = overlay.corners[0];
        const RecordedVertex* alongS = &a;
        const RecordedVertex* alongT = &a;
        for (const RecordedVertex& v : overlay.corners)
        {
            alongS = std::abs(v.s - a.s) > std::abs(alongS->s - a.s) ? &v : alongS;
            alongT = std::abs(v.t - a.t) > std::abs(alongT->t - a.t) ? &v : alongT;
        }
        ASSERT_GT(std::abs(alongS->s - a.s), 0.01f);
        ASSERT_GT(std::abs(alongT->t - a.t), 0.01f);
        const float perS = (alongS->x - a.x) / (alongS->s - a.s);
        const float perT = (alongT->y - a.y) / (alongT->t - a.t);
        EXPECT_NEAR(std::abs(perS), 2000.0f, 2.0f);
        EXPECT_NEAR(std::abs(perT), 2000.0f, 2.0f);
        EXPECT_NEAR(a.x + (0.5f - a.s) * perS, player.x - corner.x, 1.0f);
        EXPECT_NEAR(a.y + (0.5f - a.t) * perT, player.y - corner.y, 1.0f);
        EXPECT_FLOAT_EQ(overlay.corners[0].r, 1.0f);
    }
}

} // namespace
