// The message box: its box, text bands and button, the fade, closing it, and the tile grid's
// cell texts shown once per load.
#include "Message.h"
#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "Level.h"

#include <gtest/gtest.h>

namespace
{

// The player stands left of a cell that carries two lines of text.
const char* const TEXT_LEVEL = "6 3\ntileset1\nm.ogg\n######\n#p...#\n######\n1\n2 1 2\nwelcome, digger!\n"
                               "mind the rocks\n";

struct Play
{
    Harness harness;
    Game* game;
    Message* message;

    Play()
        : harness(
              makeWorkDir({{"levels.ini", "levels/easy/text.txt\n"}, {"levels/easy/text.txt", TEXT_LEVEL}})),
          game(Core::getGame()), message(game->getMessage())
    {
        game->initLevel(0);
        game->setState(2, true);
        harness.step(100); // past the start-up fade, so the pictures show the box itself
    }
};

// The first recorded quad whose corners are these, or null.
const RecordedQuad* findQuad(const std::vector<RecordedQuad>& quads, float left, float top, float right,
                             float bottom)
{
    for (const RecordedQuad& q : quads)
    {
        if (std::abs(q.left() - left) < 1.0f && std::abs(q.top() - top) < 1.0f &&
            std::abs(q.right() - right) < 1.0f && std::abs(q.bottom() - bottom) < 1.0f)
        {
            return &q;
        }
    }
    return nullptr;
}

struct BoxCase
{
    int lines;
    float top;
    float bottom;
    float buttonY;
};

void PrintTo(const BoxCase& c, std::ostream* os)
{
    *os << c.lines << " lines";
}

class MessageBox : public ::testing::TestWithParam<BoxCase>
{
};

TEST_P(MessageBox, GrowsByThirtyPerLineAroundTheCentre)
{
    Play play;
    play.message->start();
    for (int i = 0; i < GetParam().lines; ++i)
    {
        play.message->addLine("line " + std::to_string(i));
    }
    play.game->setState(6, true);
    play.harness.step(30); // fully faded in

    const std::vector<RecordedQuad> quads = recordQuads([&] { play.message->draw(); });
    EXPECT_NE(findQuad(quads, 192, GetParam().top, 982, GetParam().bottom), nullptr) << "the box";
    const float y = GetParam().buttonY;
    EXPECT_NE(findQuad(quads, 443, y - 37, 741, y + 37), nullptr) << "the button";
    // font3 cells are 24 high: each line sits centred in its band of 30 below the box's top + 60.
    for (int i = 0; i < GetParam().lines; ++i)
    {
        const float glyphTop = GetParam().top + 60 + 30 * i + 3;
        bool found = false;
        for (const RecordedQuad& q : quads)
        {
            found =
                found || (std::abs(q.top() - glyphTop) < 1.0f && std::abs(q.bottom() - glyphTop - 24) < 1.0f);
        }
        EXPECT_TRUE(found) << "line " << i;
    }
    play.harness.drawFrame();
    play.harness.saveScreenshot("message_" + std::to_string(GetParam().lines) + "_lines");
}

INSTANTIATE_TEST_SUITE_P(Message, MessageBox,
                         ::testing::Values(BoxCase{0, 279, 489, 399}, BoxCase{1, 264, 504, 414},
                                           BoxCase{3, 234, 534, 444}),
                         [](const ::testing::TestParamInfo<BoxCase>& info)
                         { return std::to_string(info.param.lines) + "Lines"; });

TEST(Message, ASecondMessageRestartsTheFadeAndDropsTheOldLines)
{
    Play play;
    play.message->start();
    play.message->addLine("first");
    play.game->setState(6, true);
    play.harness.step(10);
    EXPECT_NEAR(play.message->getAlpha(), 0.4f, 1e-4f);

    play.message->start();
    play.message->addLine("second");
    EXPECT_EQ(play.message->getAlpha(), 0.0f);
    ASSERT_EQ(play.message->getLines().size(), 1u);
    EXPECT_EQ(play.message->getLines()[0], "second");
    play.harness.step(25);
    EXPECT_GE(play.message->getAlpha(), 1.0f);
    EXPECT_LT(play.message->getAlpha(), 1.001f);
}

TEST(Message, ACellTextIsShownOncePerLoadAndEnterOrEscapeCloses)
{
    Play play;
    Entity_Player* player = play.game->getPlayer();
    const SDLKey closers[2] = {SDLK_RETURN, SDLK_ESCAPE};
    for (int load = 0; load < 2; ++load)
    {
        play.harness.hold(SDLK_RIGHT);
        for (int i = 0; i < 40 && play.game->getState() == 2; ++i)
        {
            play.harness.step();
        }
        play.harness.releaseAll();
        ASSERT_EQ(play.game->getState(), 6) << "load " << load;
        EXPECT_EQ(player->getCell().x, 2);
        ASSERT_EQ(play.message->getLines().size(), 2u);
        EXPECT_EQ(play.message->getLines()[0], "welcome, digger!");
        EXPECT_EQ(play.message->getLines()[1], "mind the rocks");

        // Play stands still under the box.
        const Vec2 before = player->getPosition();
        play.harness.hold(SDLK_RIGHT);
        play.harness.step(30);
        play.harness.releaseAll();
        EXPECT_EQ(player->getPosition().x, before.x);
        if (load == 0)
        {
            play.harness.drawFrame();
            play.harness.saveScreenshot("message_cell_text");
        }

        play.harness.press(closers[load]);
        play.harness.step();
        EXPECT_EQ(play.game->getState(), 2);

        // Back across the cell: nothing more to show in this load.
        play.harness.hold(SDLK_LEFT);
        play.harness.step(20);
        play.harness.hold(SDLK_LEFT, false);
        play.harness.hold(SDLK_RIGHT);
        play.harness.step(40);
        play.harness.releaseAll();
        EXPECT_EQ(play.game->getState(), 2);
        EXPECT_GT(player->getCell().x, 2);

        play.game->initLevel(0); // a new load brings the text back
        play.game->setState(2, true);
        play.harness.step();
    }
}

} // namespace
