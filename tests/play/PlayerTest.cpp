// The player steered with held keys through small levels run by the real engine.
#include "Harness.h"

#include "Core.h"
#include "Entity_Apple.h"
#include "Entity_Bomb.h"
#include "Entity_Key.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "SoundProbe.h"
#include "Sprite.h"
#include "Tile.h"
#include "Tile_Door.h"
#include "Tile_Empty.h"
#include "Tile_Sand.h"
#include "Tilemap.h"
#include "View.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace
{

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

// The real engine playing one level.
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
    Entity_Player* player() const { return Core::getGame()->getPlayer(); }
    Level* level() const { return Core::getGame()->getLevel(); }
    Tile* tile(uint16_t x, uint16_t y) const { return level()->getTilemap()->getTile(CellPos{x, y}); }
    CellPos cell() const { return player()->getCell(); }
    // The first thing listed on cell (x, y), or null.
    Entity* thingAt(uint16_t x, uint16_t y) const { return tile(x, y)->firstEntity(); }
};

} // namespace

TEST(PlayerTest, OneCellTakesThirteenSteps)
{
    PlayLevel play({"#####", "#p..#", "#####"});
    Entity_Player* player = play.player();
    EXPECT_EQ(100, player->getApples());
    play.harness.hold(SDLK_RIGHT);
    play.harness.step();
    play.harness.releaseAll();
    EXPECT_TRUE(player->isMoving());
    EXPECT_EQ(99, player->getApples());
    play.harness.step(11);
    EXPECT_TRUE(player->isMoving());
    EXPECT_NEAR(160.0f, player->getPosition().x, 0.01f);
    play.harness.step();
    EXPECT_FALSE(player->isMoving());
    EXPECT_TRUE(player->wasMoving());
    EXPECT_EQ(2, play.cell().x);
    play.harness.step(5);
    EXPECT_EQ(2, play.cell().x);
    EXPECT_EQ(99, player->getApples());
}

TEST(PlayerTest, RightWinsOverUp)
{
    PlayLevel play({"#...#", "#p..#", "#####"});
    play.harness.hold(SDLK_RIGHT);
    play.harness.hold(SDLK_UP);
    play.harness.step(13);
    EXPECT_EQ(2, play.cell().x);
    EXPECT_EQ(1, play.cell().y);
}

TEST(PlayerTest, CtrlDigsWithoutMoving)
{
    PlayLevel play({"#####", "#p+.#", "#####"});
    Entity_Player* player = play.player();
    play.harness.hold(SDLK_RIGHT);
    play.harness.hold(SDLK_LCTRL);
    play.harness.step();
    EXPECT_TRUE(dynamic_cast<Tile_Empty*>(play.tile(2, 1)) != nullptr);
    play.harness.step(20);
    EXPECT_EQ(1, play.cell().x);
    EXPECT_FALSE(player->isMoving());
    EXPECT_EQ(100, player->getApples());

    // Without Ctrl the player digs and walks in.
    play.harness.releaseAll();
    play.level()->getTilemap()->setTile(CellPos{2, 1}, new Tile_Sand());
    play.harness.hold(SDLK_RIGHT);
    play.harness.step();
    EXPECT_TRUE(player->isMoving());
    EXPECT_FALSE(play.tile(2, 1)->isSand());
}

TEST(PlayerTest, AltDropsALitBombSidewaysWithBombsAfterTheCooldown)
{
    PlayLevel play({"#######", "#.....#", "#..p..#", "#######"});
    Harness& h = play.harness;
    Entity_Player* player = play.player();
    const std::size_t before = play.level()->getEntityCount();

    // No bombs held: nothing.
    h.hold(SDLK_LALT);
    h.hold(SDLK_RIGHT);
    h.step();
    EXPECT_EQ(before, play.level()->getEntityCount());
    h.releaseAll();

    {
        Entity_Bomb bomb;
        player->collect(&bomb);
        player->collect(&bomb);
    }
    ASSERT_EQ(2, player->getBombs());

    for (const SDLKey vertical : {SDLK_UP, SDLK_DOWN})
    {
        h.hold(SDLK_LALT);
        h.hold(vertical);
        h.step();
        h.releaseAll();
        EXPECT_EQ(before, play.level()->getEntityCount());
        EXPECT_EQ(2, player->getBombs());
    }

    h.hold(SDLK_LALT);
    h.hold(SDLK_RIGHT);
    h.step();
    ASSERT_EQ(before + 1, play.level()->getEntityCount());
    EXPECT_EQ(1, player->getBombs());
    Entity* bomb = play.thingAt(4, 2);
    ASSERT_NE(nullptr, bomb);
    EXPECT_TRUE(bomb->isArmed());
    EXPECT_FALSE(player->isMoving());
    EXPECT_EQ(3, play.cell().x);
    h.releaseAll();

    // Left is free, but the cooldown runs 60 frames.
    h.hold(SDLK_LALT);
    h.hold(SDLK_LEFT);
    h.step(58);
    EXPECT_EQ(before + 1, play.level()->getEntityCount());
    h.step(2);
    EXPECT_EQ(before + 2, play.level()->getEntityCount());
    EXPECT_EQ(0, player->getBombs());
    EXPECT_EQ(3, play.cell().x);
}

TEST(PlayerTest, WithAltHeldThePlayerOnlyFollowsWhatItPushes)
{
    PlayLevel play({"#######", "#+pr..#", "#######"});
    Harness& h = play.harness;
    Entity_Player* player = play.player();
    {
        Entity_Bomb bomb;
        player->collect(&bomb);
    }
    player->setDashWithControl(false);
    Entity* rock = play.thingAt(3, 1);
    ASSERT_NE(nullptr, rock);
    const std::size_t before = play.level()->getEntityCount();

    // Into sand: no bomb, no digging, no step.
    h.hold(SDLK_LALT);
    h.hold(SDLK_LEFT);
    h.step(13);
    EXPECT_TRUE(play.tile(1, 1)->isSand());
    EXPECT_EQ(2, play.cell().x);

    // Into a rock: no bomb, but the rock is pushed and the player follows it.
    h.hold(SDLK_LEFT, false);
    h.hold(SDLK_RIGHT);
    h.step(13);
    EXPECT_EQ(3, play.cell().x);
    EXPECT_EQ(4, rock->getCell().x);
    EXPECT_EQ(before, play.level()->getEntityCount());
    EXPECT_EQ(1, player->getBombs());
}

TEST(PlayerTest, PushingNeedsCtrlWhenDashWithControlIsSet)
{
    PlayLevel play({"######", "#pr..#", "######"});
    Harness& h = play.harness;
    Entity* rock = play.thingAt(2, 1);
    ASSERT_TRUE(rock != nullptr && rock->isRock());
    EXPECT_TRUE(play.player()->getDashWithControl());

    h.hold(SDLK_RIGHT);
    h.step(13);
    EXPECT_EQ(1, play.cell().x);
    EXPECT_EQ(2, rock->getCell().x);

    h.hold(SDLK_LCTRL);
    h.step();
    EXPECT_TRUE(rock->isMoving());
    EXPECT_TRUE(play.player()->isMoving());
    h.step(12);
    EXPECT_EQ(2, play.cell().x);
    EXPECT_EQ(3, rock->getCell().x);

    // The wall behind the next cell: no more pushing.
    h.step(13 * 2);
    EXPECT_EQ(3, play.cell().x);
    EXPECT_EQ(4, rock->getCell().x);
}

TEST(PlayerTest, PushingWithoutCtrlWhenDashWithControlIsOff)
{
    PlayLevel play({"######", "#pZ..#", "######"});
    play.player()->setDashWithControl(false); // what the options menu does
    EXPECT_FALSE(play.player()->getDashWithControl());
    Entity* box = play.thingAt(2, 1);
    ASSERT_TRUE(box != nullptr && box->isBox());
    play.harness.hold(SDLK_RIGHT);
    play.harness.step(13);
    EXPECT_EQ(2, play.cell().x);
    EXPECT_EQ(3, box->getCell().x);
}

namespace
{

// Ctrl and key held for a whole step: neither the player nor the thing at (x, y) moves.
void expectNoPush(const std::vector<std::string>& rows, SDLKey key, uint16_t x, uint16_t y)
{
    PlayLevel play(rows);
    Entity* thing = play.thingAt(x, y);
    ASSERT_NE(nullptr, thing);
    const CellPos start = play.cell();
    play.harness.hold(SDLK_LCTRL);
    play.harness.hold(key);
    play.harness.step(13);
    EXPECT_EQ(start.x, play.cell().x);
    EXPECT_EQ(start.y, play.cell().y);
    EXPECT_EQ(x, thing->getCell().x);
    EXPECT_EQ(y, thing->getCell().y);
    EXPECT_FALSE(thing->isMoving());
}

} // namespace

TEST(PlayerTest, NoPushIntoAFullCell)
{
    expectNoPush({"#####", "#prr#", "#####"}, SDLK_RIGHT, 2, 1);
}

TEST(PlayerTest, NoPushUpwards)
{
    expectNoPush({"###", "#.#", "#r#", "#p#", "###"}, SDLK_UP, 1, 2);
}

TEST(PlayerTest, NoPushOverALedge)
{
    // Below the rock is free. In the first step after loading the rock has not started to fall
    // yet, so only the push rule keeps it from being pushed off.
    PlayLevel play({"#####", "#pr.#", "##.##", "#####"});
    Entity* rock = play.thingAt(2, 1);
    ASSERT_NE(nullptr, rock);
    play.harness.hold(SDLK_LCTRL);
    play.harness.hold(SDLK_RIGHT);
    play.harness.step();
    EXPECT_FALSE(play.player()->isMoving());
    EXPECT_EQ(0, rock->getDirection().dx);
    EXPECT_FLOAT_EQ(2 * 64 + 32, rock->getPosition().x);
}

TEST(PlayerTest, ColouredDoorOpensWithItsKeyAndLetsThePlayerIn)
{
    PlayLevel play({"######", "#p21.#", "######"});
    Harness& h = play.harness;
    Entity_Player* player = play.player();
    Tile_Door* blue = dynamic_cast<Tile_Door*>(play.tile(2, 1));
    Tile_Door* yellow = dynamic_cast<Tile_Door*>(play.tile(3, 1));
    ASSERT_TRUE(blue && yellow);
    EXPECT_EQ(1, blue->getColor());

    h.hold(SDLK_RIGHT);
    h.step(3);
    EXPECT_FALSE(blue->isOpen()); // no key
    EXPECT_EQ(1, play.cell().x);

    {
        Entity_Key key;
        key.setColor(1);
        player->collect(&key);
    }
    EXPECT_EQ(1, player->getKeys(1));
    h.step();
    EXPECT_TRUE(blue->isOpen());
    EXPECT_FALSE(blue->isSolid());
    EXPECT_EQ(0, player->getKeys(1));
    EXPECT_TRUE(player->isMoving()); // in the same frame
    h.step(12);
    EXPECT_EQ(2, play.cell().x);

    // The blue key does not open the yellow door.
    {
        Entity_Key key;
        key.setColor(1);
        player->collect(&key);
    }
    h.step(13);
    EXPECT_FALSE(yellow->isOpen());
    EXPECT_EQ(2, play.cell().x);
    EXPECT_EQ(1, player->getKeys(1));
}

TEST(PlayerTest, EnergyRunsOutOneAStepAndKillsWithTheDyingAnimation)
{
    PlayLevel play({"########", "#p.....#", "########"});
    Harness& h = play.harness;
    Entity_Player* player = play.player();
    for (int i = 0; i < 19; ++i)
    {
        player->drainApples();
    }
    ASSERT_EQ(5, player->getApples());
    h.hold(SDLK_RIGHT);
    h.step(13 * 4);
    EXPECT_EQ(1, player->getApples());
    EXPECT_FALSE(player->isDead());
    h.step();
    EXPECT_EQ(0, player->getApples());
    EXPECT_TRUE(player->isDead());
    EXPECT_EQ(36, player->getSprite()->getFrame());
    h.step(8);
    EXPECT_GT(player->getSprite()->getFrame(), 36);
    EXPECT_LE(player->getSprite()->getFrame(), 48);
    EXPECT_EQ(5, play.cell().x);
    h.step(13);
    EXPECT_EQ(5, play.cell().x); // the dead do not walk
}

TEST(PlayerTest, ApplesAreCappedAt200)
{
    PlayLevel play({"p.."});
    Entity_Player* player = play.player();
    Entity_Apple apple;
    for (int i = 0; i < 3; ++i)
    {
        player->collect(&apple);
    }
    EXPECT_EQ(200, player->getApples());
    EXPECT_EQ(3u, player->getApplesCollected());
    EXPECT_EQ(60, player->getScore());
}

TEST(PlayerTest, DeathInABlastHidesThePlayer)
{
    PlayLevel play({"#####", "#.p.#", "#####"});
    Entity_Player* player = play.player();
    player->kill();
    EXPECT_TRUE(player->isDead());
    EXPECT_FLOAT_EQ(0.0f, player->getSprite()->getAlpha());
    EXPECT_TRUE(play.tile(2, 1)->isExploding());
    EXPECT_FALSE(play.tile(2, 0)->isExploding()); // wall spared
    player->kill();                               // already dead: no second blast
}

TEST(PlayerTest, BlinksAfterLoadingUntilItMoves)
{
    PlayLevel play({"#####", "#p..#", "#####"});
    Entity_Player* player = play.player();
    EXPECT_NE(0, player->getBlink());
    play.harness.step(119);
    EXPECT_NE(0, player->getBlink());
    play.harness.step(2);
    EXPECT_EQ(0, player->getBlink());

    Core::getGame()->getLevel()->load(0, "levels/test.txt", false);
    EXPECT_NE(0, player->getBlink());
    play.harness.hold(SDLK_RIGHT);
    play.harness.step();
    EXPECT_EQ(0, player->getBlink());
}

TEST(PlayerTest, CameraFollowsThePlayerInsideTheLevel)
{
    // 20 x 15 cells: the camera's corner stays within 0..406 and 0..192.
    std::vector<std::string> rows(15, std::string(20, '.'));
    rows[14][19] = 'p';
    PlayLevel play(rows);
    View* view = play.level()->getView();
    play.harness.step();
    EXPECT_FLOAT_EQ(406.0f, view->getPosition().x);
    EXPECT_FLOAT_EQ(192.0f, view->getPosition().y);

    play.harness.hold(SDLK_LEFT);
    play.harness.step(13 * 8);
    ASSERT_EQ(11, play.cell().x);
    const Vec2 p = play.player()->getPosition();
    EXPECT_FLOAT_EQ(static_cast<float>(static_cast<int>(p.x - 437)), view->getPosition().x);
    play.harness.step(13 * 11);
    EXPECT_EQ(0, play.cell().x);
    EXPECT_FLOAT_EQ(0.0f, view->getPosition().x);
}

TEST(PlayerTest, WalkingAnimationsFaceTheWayThePlayerGoes)
{
    PlayLevel play({"##########", "#+O..1x.+#", "#2.p....*#", "#+..b..r.#", "##########"});
    Harness& h = play.harness;
    Sprite* sprite = play.player()->getSprite();
    h.step(100); // past the fade-in
    h.hold(SDLK_LEFT);
    h.step(4);
    EXPECT_EQ(1, sprite->getFlip());
    EXPECT_LE(sprite->getFrame(), 11);
    h.releaseAll();
    h.step(20);
    EXPECT_EQ(0, sprite->getFrame()); // standing after a sideways step
    EXPECT_EQ(1, sprite->getFlip());
    play.level()->getTilemap()->explode(CellPos{7, 2});
    h.hold(SDLK_DOWN);
    h.step(6);
    EXPECT_EQ(0, sprite->getFlip());
    EXPECT_GE(sprite->getFrame(), 24);
    EXPECT_LE(sprite->getFrame(), 35);
    h.saveScreenshot("player-walking-down");
    h.releaseAll();
    h.hold(SDLK_UP);
    h.step(13 + 4);
    EXPECT_GE(sprite->getFrame(), 12);
    EXPECT_LE(sprite->getFrame(), 23);
}

TEST(PlayerTest, StepSoundEveryTwentyFramesOfWalkingAndADigSoundIntoSand)
{
    PlayLevel play({"#########", "#p.+....#", "#########"});
    std::vector<Mix_Chunk*> steps;
    std::vector<Mix_Chunk*> digs;
    for (const char* name : {"step1", "step2", "step3"})
        steps.push_back(chunkOf(std::string("sounds/") + name + ".wav"));
    for (const char* name : {"dig1", "dig2", "dig3"})
        digs.push_back(chunkOf(std::string("sounds/") + name + ".wav"));
    auto sounding = [](const std::vector<Mix_Chunk*>& chunks)
    { return std::any_of(chunks.begin(), chunks.end(), [](Mix_Chunk* c) { return playingCount(c) > 0; }); };

    std::vector<int> stepFrames;
    std::vector<int> digFrames;
    play.harness.hold(SDLK_RIGHT);
    for (int frame = 1; frame <= 45; ++frame)
    {
        MixerHold still;
        Mix_HaltChannel(-1);
        play.harness.step();
        if (sounding(steps))
            stepFrames.push_back(frame);
        if (sounding(digs))
            digFrames.push_back(frame);
    }
    EXPECT_EQ(stepFrames, (std::vector<int>{1, 21, 41}));
    // The sand cell is entered on the first frame of the second step.
    EXPECT_EQ(digFrames, (std::vector<int>{14}));
}
