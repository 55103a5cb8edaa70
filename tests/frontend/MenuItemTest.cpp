// Paging, the name entry and the sliders, driven by real key events through the real menu.
#include "AudioDriver.h"
#include "Channel.h"
#include "Crypt.h"
#include "MenuItem_Input.h"
#include "MenuItem_Slider.h"
#include "MenuTestSupport.h"
#include "TestEnv.h"
#include "UserManager.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace
{

// Sum of absolute colour differences over a window rectangle between two frames.
long regionDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    long sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            sum +=
                std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF));
    return sum;
}

// The window is 1024 x 768 under the tests, so logical units are pixels.
std::vector<uint32_t> region(Harness& h, int left, int top, int right, int bottom)
{
    h.drawFrame();
    std::vector<uint32_t> pixels;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            pixels.push_back(h.pixel(x, y));
    return pixels;
}

// Sound channels busy now (the title music holds one).
int channelsPlaying()
{
    int count = 0;
    for (uint16_t i = 0; i < 16; ++i)
        count += Core::getAudioDriver()->getChannel(i)->isPlaying() ? 1 : 0;
    return count;
}

// The same once the short menu sounds of earlier steps have ended.
int channelsPlayingAfterSilence(Harness& h)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    h.step();
    return channelsPlaying();
}

} // namespace

TEST(MenuPaging, UpDownSkipDisabledEntriesWithoutWrapAround)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    h.step();
    ASSERT_EQ(pageId(), "main");
    ASSERT_EQ(selectedId(), "start");

    // "select level" and "load game" (no profiles yet) are disabled: one press jumps both.
    struct Move
    {
        SDLKey key;
        const char* selected;
        int steps; // "step" events so far
    };
    const Move moves[] = {
        {SDLK_UP, "start", 0},   {SDLK_DOWN, "options", 1}, {SDLK_DOWN, "highscore", 2},
        {SDLK_DOWN, "exit", 3},  {SDLK_DOWN, "exit", 3},    {SDLK_UP, "highscore", 4},
        {SDLK_UP, "options", 5}, {SDLK_UP, "start", 6},     {SDLK_UP, "start", 6},
    };
    for (const Move& move : moves)
    {
        key(h, move.key);
        EXPECT_EQ(selectedId(), move.selected);
        EXPECT_EQ(countOf(h.logText(), "Menu: event [main, step]"), move.steps) << "after " << move.selected;
    }
    // Without a key the selection stays.
    h.step(30);
    EXPECT_EQ(selectedId(), "start");
}

TEST(MenuPaging, SevenChildrenScrollAndShowTheRightArrow)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    UserManager* users = Core::getGame()->getUserManager();
    for (const char* name : {"ann", "bob", "cid", "dan", "eve"})
        users->createUser(name);
    menu()->buildLoadMenu();
    h.step(120); // past the start-up fade-in, so frames compare

    // Five profiles, the separator and "back": seven rows, six shown.
    key(h, SDLK_DOWN); // "load game" is enabled now
    ASSERT_EQ(selectedId(), "load");
    key(h, SDLK_RETURN);
    ASSERT_EQ(pageId(), "load");
    ASSERT_EQ(page()->getChildCount(), 7);
    h.step(60); // let the page's pop settle

    const std::vector<uint32_t> upHidden = region(h, 496, 280, 531, 302);
    const std::vector<uint32_t> downShown = region(h, 496, 508, 531, 530);
    key(h, SDLK_DOWN, 6); // the separator is jumped over: "back" after five presses, the sixth does nothing
    EXPECT_EQ(selectedId(), "load_back");
    EXPECT_EQ(countOf(h.logText(), "Menu: event [load, step]"), 5);
    h.step(60);
    const std::vector<uint32_t> upShown = region(h, 496, 280, 531, 302);
    const std::vector<uint32_t> downHidden = region(h, 496, 508, 531, 530);
    h.saveScreenshot("menu-load-scrolled");
    EXPECT_GT(regionDifference(upHidden, upShown), 35L * 22 * 20) << "more-up arrow should appear";
    EXPECT_GT(regionDifference(downShown, downHidden), 35L * 22 * 20) << "more-down arrow should go";

    // Back at the top the first row is shown again and the up arrow goes.
    key(h, SDLK_UP, 6);
    EXPECT_EQ(selectedId(), "load_user_ann");
    h.step(60);
    EXPECT_LT(regionDifference(upHidden, region(h, 496, 280, 531, 302)), 35L * 22 * 2);
}

// More profiles than a 16-bit index counts: scrolled past entry 32767 and on to the end, the page
// draws its rows and arrows without reading outside its list.
TEST(MenuPaging, SeventyThousandProfilesScrollToTheEnd)
{
    const int profiles = 70000;
    std::string names;
    for (int i = 0; i < profiles; ++i)
        names += "u" + std::to_string(i) + "\n";
    Harness h(makeWorkDir(menuLevelFiles()), {{"users.ini", names}});
    ASSERT_EQ(h.initResult(), 0);
    h.step(120); // past the start-up fade-in, so frames compare
    key(h, SDLK_DOWN);
    ASSERT_EQ(selectedId(), "load");
    key(h, SDLK_RETURN);
    ASSERT_EQ(pageId(), "load");
    ASSERT_EQ(page()->getChildCount(), profiles + 2);
    h.step(60);
    const std::vector<uint32_t> upHidden = region(h, 496, 280, 531, 302);
    const std::vector<uint32_t> downShown = region(h, 496, 508, 531, 530);

    // Real presses across the 16-bit boundary: the window follows the selection.
    page()->select(32766);
    key(h, SDLK_DOWN, 8);
    EXPECT_EQ(selectedId(), "load_user_u32774");
    h.step(60);
    EXPECT_GT(regionDifference(upHidden, region(h, 496, 280, 531, 302)), 35L * 22 * 20) << "more-up arrow";
    EXPECT_LT(regionDifference(downShown, region(h, 496, 508, 531, 530)), 35L * 22 * 2) << "more-down arrow";

    // The last profile, then over the separator to "back": the last row of all.
    page()->select(profiles - 1);
    key(h, SDLK_DOWN, 2);
    EXPECT_EQ(selectedId(), "load_back");
    h.step(60);
    h.saveScreenshot("menu-load-seventy-thousand");
    EXPECT_GT(regionDifference(upHidden, region(h, 496, 280, 531, 302)), 35L * 22 * 20) << "more-up arrow";
    EXPECT_GT(regionDifference(downShown, region(h, 496, 508, 531, 530)), 35L * 22 * 20)
        << "no more-down arrow";
}

TEST(MenuPaging, PageWithoutChildrenIgnoresKeys)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    // An entry found by id becomes the current page even without children.
    ASSERT_TRUE(menu()->openPage("exit_yes"));
    ASSERT_EQ(pageId(), "exit_yes");
    for (SDLKey k : {SDLK_DOWN, SDLK_UP, SDLK_RETURN})
        key(h, k);
    h.drawFrame();
    EXPECT_EQ(pageId(), "exit_yes");
    EXPECT_TRUE(Core::isRunning());
    EXPECT_EQ(countOf(h.logText(), "Menu: event [exit_yes"), 0);

    key(h, SDLK_ESCAPE); // to its parent
    EXPECT_EQ(pageId(), "exit");
    EXPECT_FALSE(menu()->openPage("main")) << "the starting node is not compared";
}

TEST(MenuNameInput, LettersAndDigitsOnlyThirteenAtMost)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    key(h, SDLK_RETURN);
    ASSERT_EQ(pageId(), "start");
    ASSERT_EQ(page()->getTitle(), "enter your name");
    MenuItem_Input* input = dynamic_cast<MenuItem_Input*>(page()->getSelectedChild());
    ASSERT_NE(input, nullptr);

    typeText(h, "ab1");
    for (SDLKey ignored : {SDLK_SPACE, SDLK_PERIOD, SDLK_MINUS, SDLK_SLASH, SDLK_DELETE, SDLK_KP1, SDLK_F1})
        key(h, ignored);
    EXPECT_EQ(input->getValue(), "ab1");

    typeText(h, "cdefghijklmnop");
    EXPECT_EQ(input->getValue(), "ab1cdefghijkl");
    key(h, SDLK_BACKSPACE);
    EXPECT_EQ(input->getValue(), "ab1cdefghijk");
    key(h, SDLK_BACKSPACE, 20);
    EXPECT_EQ(input->getValue(), "");
    // The cursor blinks after the text while selected.
    const std::string shown = input->getText();
    EXPECT_TRUE(shown == "_" || shown == " ") << shown;
}

TEST(MenuNameInput, EmptyNameGivesTheNotice)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    key(h, SDLK_RETURN);
    key(h, SDLK_RETURN); // Enter on the empty name entry
    EXPECT_EQ(pageId(), "start");
    EXPECT_EQ(menu()->getNotice(), "please enter a name");
    key(h, SDLK_DOWN); // over the separator to "ok"
    EXPECT_EQ(selectedId(), "start_ok");
    menu()->setNotice("");
    key(h, SDLK_RETURN);
    EXPECT_EQ(menu()->getNotice(), "please enter a name");
    EXPECT_EQ(Core::getGame()->getUserManager()->getUserCount(), 0);
    // The notice is gone after 290 drawn frames.
    h.step(295);
    EXPECT_EQ(menu()->getNotice(), "");
}

TEST(MenuNameInput, ExistingNameAsksAndOverwriteStartsAgain)
{
    Harness h(makeWorkDir(menuLevelFiles()));
    ASSERT_EQ(h.initResult(), 0);
    UserManager* users = Core::getGame()->getUserManager();
    users->createUser("bob");
    users->loadUser("bob");
    users->setReachedLevel(3);
    users->setScore(0, 500);
    users->saveUser();
    menu()->buildLoadMenu();
    const std::string profile = h.appData() + "user_bob.ini";
    ASSERT_EQ(readFile(profile), "3\n500\n0\n0\n0\n0\n");

    createProfile(h, "bob");
    EXPECT_EQ(pageId(), "name_exists");
    EXPECT_EQ(selectedId(), "name_exists_cancel");
    key(h, SDLK_RETURN);
    EXPECT_EQ(pageId(), "start");
    EXPECT_EQ(selectedId(), "start_name");
    EXPECT_EQ(readFile(profile), "3\n500\n0\n0\n0\n0\n") << "cancel keeps the profile";

    key(h, SDLK_RETURN); // the name is still typed
    ASSERT_EQ(pageId(), "name_exists");
    key(h, SDLK_UP);
    key(h, SDLK_RETURN);
    EXPECT_EQ(pageId(), "levels");
    EXPECT_EQ(readFile(profile), "0\n0\n0\n0\n0\n0\n");
    EXPECT_EQ(users->getReachedLevel(), 0);
    EXPECT_EQ(users->getScore(0), 0);
    EXPECT_EQ(users->getUserCount(), 1);
    EXPECT_EQ(countOf(readFile(h.appData() + "users.ini"), "bob"), 1);
    EXPECT_NE(readFile(h.appData() + "hashes.ini").find(Crypt::md5File(profile) + "\tuser_bob.ini\n"),
              std::string::npos);
}

TEST(MenuSlider, ClampsAndSavesVolumes)
{
    auto harness = std::make_unique<Harness>(makeWorkDir(menuLevelFiles()));
    Harness& h = *harness;
    ASSERT_EQ(h.initResult(), 0);
    const std::string appData = h.appData();
    key(h, SDLK_DOWN); // "options"
    key(h, SDLK_RETURN);
    ASSERT_EQ(pageId(), "options");
    key(h, SDLK_DOWN, 3);
    ASSERT_EQ(selectedId(), "options_sound");
    MenuItem_Slider* sound = dynamic_cast<MenuItem_Slider*>(page()->getSelectedChild());
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->getValue(), 50); // the default file's value

    key(h, SDLK_RIGHT, 12);
    EXPECT_EQ(sound->getValue(), 100);
    EXPECT_FLOAT_EQ(Core::getAudioDriver()->getSoundVolume(), 1.0f);
    // At the end of the scale a press changes nothing and plays no step sound; a real step does.
    const int quiet = channelsPlayingAfterSilence(h);
    {
        MixerHold still;
        key(h, SDLK_RIGHT);
        EXPECT_EQ(sound->getValue(), 100);
        EXPECT_EQ(channelsPlaying(), quiet);
        key(h, SDLK_LEFT);
        EXPECT_EQ(sound->getValue(), 95);
        EXPECT_GT(channelsPlaying(), quiet);
    }
    key(h, SDLK_LEFT, 25);
    EXPECT_EQ(sound->getValue(), 0);
    EXPECT_FLOAT_EQ(Core::getAudioDriver()->getSoundVolume(), 0.0f);
    const int silent = channelsPlayingAfterSilence(h);
    key(h, SDLK_LEFT);
    EXPECT_EQ(channelsPlaying(), silent);

    key(h, SDLK_DOWN);
    MenuItem_Slider* music = dynamic_cast<MenuItem_Slider*>(page()->getSelectedChild());
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->getValue(), 30);
    key(h, SDLK_RIGHT, 3);
    EXPECT_EQ(music->getValue(), 45);
    EXPECT_FLOAT_EQ(Core::getAudioDriver()->getMusicVolume(), 0.45f);
    EXPECT_EQ(sound->getValue(), 0) << "only the selected slider reads Left and Right";

    sound->setValue(150);
    EXPECT_EQ(sound->getValue(), 100);
    sound->setValue(-5);
    EXPECT_EQ(sound->getValue(), 0);
    harness.reset(); // shut-down saves the configuration
    const std::string saved = readFile(appData + "config.ini");
    EXPECT_NE(saved.find("sound_volume = 0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("music_volume = 45\n"), std::string::npos) << saved;
}
