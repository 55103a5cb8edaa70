// The credits: reading "credits.txt", the first line's place, the wrap, the inclusive bounds,
// a missing file and Escape to the menu.
#include "Credits.h"
#include "Core.h"
#include "Game.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

namespace
{

const char* const LEVEL = "5 3\ntileset1\nm.ogg\n#####\n#p..#\n#####\n0\n";

struct Roll
{
    Harness harness;
    Game* game;
    Credits* credits;

    // Without credits, no "credits.txt" in the working folder.
    explicit Roll(const std::string* creditsText = nullptr)
        : harness(makeWorkDir(files(creditsText))), game(Core::getGame()), credits(game->getCredits())
    {
    }

    static std::map<std::string, std::string> files(const std::string* credits)
    {
        std::map<std::string, std::string> all = {{"levels.ini", "levels/easy/one.txt\n"},
                                                  {"levels/easy/one.txt", LEVEL}};
        if (credits != nullptr)
        {
            all["credits.txt"] = *credits;
        }
        return all;
    }

    // As after the last level: the game is finished and the credits start.
    void start()
    {
        game->nextLevel();
        game->setState(7, true);
    }

    // The quads of one credits picture: the background first, the credits picture last.
    std::vector<RecordedQuad> draw()
    {
        return recordQuads([&] { credits->draw(); });
    }
};

struct ReadCase
{
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class CreditsFile : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(CreditsFile, ReadsOneLinePerTextLine)
{
    Roll roll(&GetParam().text);
    roll.start();
    EXPECT_EQ(roll.credits->getLines(), GetParam().lines);
    EXPECT_EQ(roll.credits->getWrapBelow(), -35.0f * GetParam().lines.size());
}

const std::string LONG_LINE = std::string(99, 'a') + "bcd\nnever read\n";

INSTANTIATE_TEST_SUITE_P(
    Credits, CreditsFile,
    ::testing::Values(ReadCase{"FinalLineBreak", "one\n\ntwo\n", {"one", "", "two", ""}},
                      ReadCase{"NoFinalLineBreak", "one\ntwo", {"one", "two"}},
                      ReadCase{"WindowsLineEnds", "one\r\n\r\ntwo\r\n", {"one", "", "two", ""}},
                      ReadCase{"Empty", "", {""}},
                      ReadCase{"Exactly99", std::string(99, 'x') + "\nz", {std::string(99, 'x'), "z"}},
                      ReadCase{"OverlongEndsTheReading", LONG_LINE, {std::string(99, 'a')}},
                      ReadCase{"Binary", std::string("\x01\xff\0ab\n\x80", 7), {"\x01\xff", "\x80"}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(Credits, TheFirstLineStartsAt635AndEscapeOpensTheMenu)
{
    const std::string text = "QUARROW\n\nmade by\nthe quarrow team\n";
    Roll roll(&text);
    roll.start();
    EXPECT_EQ(roll.credits->getScrollY(), 600.0f);
    std::vector<RecordedQuad> quads = roll.draw();
    ASSERT_GE(quads.size(), 3u);
    EXPECT_EQ(quads[1].top(), 635.0f) << "the first glyph";
    EXPECT_EQ(quads[1].left(), 430.0f);

    roll.harness.step(60);
    EXPECT_NEAR(roll.credits->getScrollY(), 600.0f - 60 * 0.405f, 1e-2f);
    roll.harness.saveScreenshot("credits");

    roll.harness.press(SDLK_ESCAPE);
    roll.harness.step();
    EXPECT_EQ(roll.game->getState(), 1);
    roll.harness.step(20);
    roll.harness.saveScreenshot("credits_under_menu");
    // The menu's Escape resumes the scroll where it was.
    const float scroll = roll.credits->getScrollY();
    roll.harness.press(SDLK_ESCAPE);
    roll.harness.step();
    EXPECT_EQ(roll.game->getState(), 7);
    EXPECT_EQ(roll.credits->getScrollY(), scroll);
}

TEST(Credits, TwentyLinesWrapOnceTheScrollDropsBelowMinus700)
{
    std::string text;
    for (int i = 0; i < 19; ++i)
    {
        text += "line " + std::to_string(i) + "\n";
    }
    text += "last";
    Roll roll(&text);
    roll.start();
    ASSERT_EQ(roll.credits->getLines().size(), 20u);
    EXPECT_EQ(roll.credits->getWrapBelow(), -700.0f);

    roll.credits->setScrollY(-699.5f);
    roll.harness.step();
    EXPECT_NEAR(roll.credits->getScrollY(), -699.905f, 1e-3f) << "not below yet";
    roll.harness.step();
    EXPECT_EQ(roll.credits->getScrollY(), 760.0f);
    // After the wrap the first line stands at 795, below the screen: only the two pictures.
    EXPECT_EQ(roll.draw().size(), 2u);
}

TEST(Credits, WithoutCreditsTextOnlyThePicturesShowAndTheScrollStillWraps)
{
    Roll roll;
    roll.start();
    EXPECT_TRUE(roll.credits->getLines().empty());
    EXPECT_EQ(roll.credits->getWrapBelow(), 0.0f);
    EXPECT_EQ(roll.draw().size(), 2u);
    roll.credits->setScrollY(0.2f);
    roll.harness.step();
    EXPECT_EQ(roll.credits->getScrollY(), 760.0f);
    EXPECT_EQ(roll.harness.logText().find("credits.txt"), std::string::npos) << roll.harness.logText();
}

TEST(Credits, LinesAtZeroAndAt760AreDrawnButNotJustBeyond)
{
    const std::string text = "x";
    Roll roll(&text);
    roll.start();
    // Beyond the two pictures, the glyph (cut by the window's edge, perhaps in pieces).
    const std::pair<float, bool> cases[] = {{-35.0f, true}, {725.0f, true}, {725.5f, false}, {-35.5f, false}};
    for (const auto& c : cases)
    {
        roll.credits->setScrollY(c.first);
        EXPECT_EQ(roll.draw().size() > 2, c.second) << "line at y " << c.first + 35.0f;
    }
}

} // namespace
