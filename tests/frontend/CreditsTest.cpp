// The credits: reading "credits.txt", the first line's place, the wrap, the inclusive bounds,
// a missing file and Escape to the menu.
#include "Credits.h"
#include "Core.h"
#include "Game.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "TestEnv.h"
#include "TestPictures.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

struct UnreadableCase
{
    const char* name;
    bool folder;
    std::string text;
    std::string why;
};

void PrintTo(const UnreadableCase& c, std::ostream* os)
{
    *os << c.name;
}

class CreditsUnreadable : public ::testing::TestWithParam<UnreadableCase>
{
};

// A "credits.txt" that is there but cannot be read gives no lines, as a missing one does, and a
// log line that says why.
TEST_P(CreditsUnreadable, GivesNoLinesAndSaysWhy)
{
    const UnreadableCase& c = GetParam();
    Roll roll(c.folder ? nullptr : &c.text);
    if (c.folder)
    {
        ASSERT_EQ(mkdir("credits.txt", 0755), 0);
    }
    roll.start();
    EXPECT_TRUE(roll.credits->getLines().empty());
    EXPECT_EQ(roll.credits->getWrapBelow(), 0.0f);
    EXPECT_EQ(roll.draw().size(), 2u);
    EXPECT_NE(roll.harness.logText().find("Credits: can't read credits.txt: " + c.why + "\n"),
              std::string::npos)
        << roll.harness.logText();
}

INSTANTIATE_TEST_SUITE_P(Credits, CreditsUnreadable,
                         ::testing::Values(UnreadableCase{"Folder", true, "", "is a folder"}),
                         [](const ::testing::TestParamInfo<UnreadableCase>& info)
                         { return std::string(info.param.name); });

// Credits past the reader's megabyte are no real ones: the whole lines before the limit still
// roll, the line cut at it does not.
TEST(Credits, PastTheLimitTheWholeLinesBeforeItAreKept)
{
    const std::string line = "a helper of the game";
    std::string text;
    while (text.size() <= (1u << 20))
    {
        text += line + "\n";
    }
    Roll roll(&text);
    roll.start();
    EXPECT_EQ(roll.credits->getLines(), std::vector<std::string>((1u << 20) / (line.size() + 1), line));
    EXPECT_NE(roll.harness.logText().find(
                  "Credits: credits.txt is longer than 1048576 bytes, the rest is not read\n"),
              std::string::npos)
        << roll.harness.logText();
}

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

TEST(Credits, ALineAfterAnEmptyOneIsAHeadingInFont2AndLinesFadeNearTheTop)
{
    // Solid fonts tell the two apart: font1 white, font2 red; the pictures are black and clear.
    const std::string dir = makeWorkDir({{"levels.ini", "levels/easy/one.txt\n"},
                                         {"levels/easy/one.txt", LEVEL},
                                         {"credits.txt", "cast\n\nheading\nplain\n"}},
                                        false);
    mkdir((dir + "/textures").c_str(), 0755);
    writePicture(dir + "/textures/font1.png", 512, 512, [](unsigned, unsigned) { return 0xFFFFFFFFu; });
    writePicture(dir + "/textures/font2.png", 512, 512, [](unsigned, unsigned) { return 0xFF0000FFu; });
    writePicture(dir + "/textures/credits-bg.png", 64, 64, [](unsigned, unsigned) { return 0x000000FFu; });
    writePicture(dir + "/textures/credits.png", 64, 64, [](unsigned, unsigned) { return 0x00000000u; });
    Harness harness(dir);
    Game* game = Core::getGame();
    game->nextLevel();
    game->setState(7, true);

    game->getCredits()->draw();
    // Lines at y 635, 670 (empty), 705 and 740; a glyph's cell is 32 high from the line's top.
    const uint32_t expected[3][2] = {{635, 0xFFFFFF}, {705, 0xFF0000}, {740, 0xFFFFFF}};
    for (const auto& line : expected)
    {
        unsigned char rgba[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels(440, 768 - 1 - static_cast<int>(line[0] + 16), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        const uint32_t rgb = (rgba[0] << 16) | (rgba[1] << 8) | rgba[2];
        EXPECT_EQ(rgb, line[1]) << "line at y " << line[0];
    }

    // Rising past y 130 a line fades: at y 80 it is half transparent.
    game->getCredits()->setScrollY(80.0f - 35.0f);
    const std::vector<RecordedQuad> quads = recordQuads([&] { game->getCredits()->draw(); });
    ASSERT_GE(quads.size(), 3u);
    EXPECT_EQ(quads[1].top(), 80.0f) << "the first glyph, after the background";
    EXPECT_NEAR(quads[1].corners[0].a, 0.5f, 0.01f);
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
