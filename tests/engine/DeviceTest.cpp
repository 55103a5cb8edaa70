#include "Device.h"
#include "Core.h"
#include "Harness.h"
#include "TestEnv.h"
#include "VideoDriver.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

Device& device()
{
    return *Core::getDevice();
}

} // namespace

TEST(Device, OpensTheConfiguredWindow)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    SDL_Surface* screen = SDL_GetVideoSurface();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->flags & (SDL_OPENGL | SDL_FULLSCREEN | SDL_RESIZABLE | SDL_NOFRAME),
              Uint32(SDL_OPENGL));
    EXPECT_EQ(device().getSize(), std::make_pair(uint16_t(1024), uint16_t(768)));
    EXPECT_EQ(device().getBpp(), 32);
    char* title = nullptr;
    char* icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    EXPECT_STREQ(title, "Quarrow 1.0");
    EXPECT_STREQ(icon, "Quarrow");
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_STREQ(getenv("SDL_VIDEO_CENTERED"), "1");
    EXPECT_STREQ(getenv("SDL_VIDEO_WINDOW_POS"), "center");

    const std::string log = h.logText();
    EXPECT_LT(log.find("Device: init\n"), log.find("VideoDriver: init\n"));
    EXPECT_LT(log.find("VideoDriver: init\n"), log.find("Device: Checking available screen resolutions\n"));
}

TEST(Device, ReadsTheVideoModeFromTheConfiguration)
{
    Harness h(QUARROW_DATA_DIR, {{"config.ini", "screen_width = 800\nscreen_height = 600\nscreen_bpp = 288\n"
                                                "screen_full = 1\nscreen_vsync = 0\n"}});
    ASSERT_NE(Core::getDevice(), nullptr);
    SDL_Surface* screen = SDL_GetVideoSurface();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->w, 800);
    EXPECT_EQ(screen->h, 600);
    EXPECT_EQ(screen->flags & (SDL_OPENGL | SDL_FULLSCREEN), Uint32(SDL_OPENGL | SDL_FULLSCREEN));
    EXPECT_EQ(device().getBpp(), 32); // the low 8 bits of 288
    EXPECT_EQ(device().getHeight(), 600);
}

TEST(Device, ANegativeSizeFallsBackTo1024By768)
{
    Harness h(QUARROW_DATA_DIR, {{"config.ini", "screen_width = 800\nscreen_height = -5\n"}});
    ASSERT_NE(Core::getDevice(), nullptr);
    SDL_Surface* screen = SDL_GetVideoSurface();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->w, 1024);
    EXPECT_EQ(screen->h, 768);
    EXPECT_EQ(device().getSize(), std::make_pair(uint16_t(1024), uint16_t(768)));
    EXPECT_NE(h.logText().find("Device: screen size 800 x -5 not usable, using 1024 x 768\n"),
              std::string::npos);
}

struct RefusedMode
{
    std::string name;
    std::string config;
    std::string refused;
    std::string savedBpp;
};

void PrintTo(const RefusedMode& mode, std::ostream* out)
{
    *out << mode.name;
}

class DeviceRefusedMode : public ::testing::TestWithParam<RefusedMode>
{
};

TEST_P(DeviceRefusedMode, FallsBackToA1024By768WindowAndSavesIt)
{
    const RefusedMode& mode = GetParam();
    std::string appData;
    {
        Harness h(QUARROW_DATA_DIR, {{"config.ini", "screen_vsync = 0\n" + mode.config}});
        appData = h.appData();
        ASSERT_EQ(h.initResult(), 0) << h.logText();
        SDL_Surface* screen = SDL_GetVideoSurface();
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->w, 1024);
        EXPECT_EQ(screen->h, 768);
        EXPECT_EQ(screen->flags & SDL_FULLSCREEN, 0u);
        EXPECT_EQ(device().getSize(), std::make_pair(uint16_t(1024), uint16_t(768)));
        EXPECT_EQ(device().getBpp(), 32);

        // One line: the refused mode, the window library's reason, the mode used instead.
        const std::string log = h.logText();
        const size_t start = log.find("Device: init\nDevice: video mode " + mode.refused + " refused (");
        ASSERT_NE(start, std::string::npos) << log;
        const size_t end = log.find('\n', start + 13);
        const std::string line = log.substr(start + 13, end - start - 13);
        const std::string tail = "), using a 1024 x 768 window";
        ASSERT_GT(line.size(), tail.size());
        EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
        EXPECT_EQ(log.compare(end, 19, "\nVideoDriver: init\n"), 0) << log;
        h.step(2);
    }
    const std::string saved = readFile(appData + "config.ini");
    for (const char* kept :
         {"screen_full = 0\n", "screen_height = 768\n", "screen_vsync = 0\n", "screen_width = 1024\n"})
    {
        EXPECT_NE(saved.find(kept), std::string::npos) << saved;
    }
    // The bits per pixel are rewritten only when they were refused.
    EXPECT_EQ(saved.find("screen_bpp") != std::string::npos, !mode.savedBpp.empty()) << saved;
    EXPECT_NE(saved.find(mode.savedBpp), std::string::npos) << saved;
}

// Both are refused by the test display (1280 x 1024): no full-screen mode is that large, and the
// window library takes 8 to 32 bits per pixel only.
INSTANTIATE_TEST_SUITE_P(
    Modes, DeviceRefusedMode,
    ::testing::Values(RefusedMode{"FullScreenLargerThanTheDisplay",
                                  "screen_full = 1\nscreen_width = 1600\nscreen_height = 1200\n",
                                  "1600 x 1200 x 32 full screen", ""},
                      RefusedMode{"OneBitPerPixel", "screen_bpp = 1\n", "1024 x 768 x 1 window",
                                  "screen_bpp = 32\n"}),
    [](const ::testing::TestParamInfo<RefusedMode>& info) { return info.param.name; });

TEST(Device, ASizeWithoutANumberTakesTheDesktopSize)
{
    // A key without a number reads as 0, and a size of 0 leaves the size to the window library.
    Harness h(QUARROW_DATA_DIR, {{"config.ini", "screen_width =\nscreen_height\n"}});
    ASSERT_NE(Core::getDevice(), nullptr);
    SDL_Surface* screen = SDL_GetVideoSurface();
    ASSERT_NE(screen, nullptr);
    EXPECT_GT(screen->w, 0);
    EXPECT_GT(screen->h, 0);
    EXPECT_EQ(device().getSize(), std::make_pair(uint16_t(screen->w), uint16_t(screen->h)));
}

TEST(Device, ListsTheFullScreenModes)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    const std::string log = h.logText();
    VideoDriver* video = device().getVideoDriver();
    SDL_Rect** modes = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
    ASSERT_NE(modes, nullptr);
    if (modes == reinterpret_cast<SDL_Rect**>(-1))
    {
        EXPECT_NE(log.find("Device: all resolutions available\n"), std::string::npos);
        EXPECT_EQ(video->firstResolution().name, "");
        return;
    }
    Resolution mode = video->firstResolution();
    for (int i = 0; modes[i] != nullptr; ++i, mode = video->nextResolution())
    {
        EXPECT_EQ(mode.width, modes[i]->w);
        EXPECT_EQ(mode.height, modes[i]->h);
        EXPECT_EQ(mode.name, "video_res_" + std::to_string(i));
        EXPECT_NE(log.find("Device: resolution " + std::to_string(modes[i]->w) + " x " +
                           std::to_string(modes[i]->h) + " available\n"),
                  std::string::npos);
    }
    EXPECT_EQ(mode.name, "");
}

TEST(Device, PressesLastOneStepAndGoToTheFirstReader)
{
    // The device's own event pump, without the game reading the keys in between.
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);

    // Pressed and released within one step: seen as a press, not as held.
    h.press(SDLK_a);
    device().processEvents();
    EXPECT_FALSE(device().isKeyDown(SDLK_a));
    EXPECT_TRUE(device().wasKeyPressed(SDLK_a));
    EXPECT_FALSE(device().wasKeyPressed(SDLK_a));

    // anyKeyPressed consumes the lowest key first.
    h.press(SDLK_ESCAPE);
    h.press(SDLK_RETURN);
    device().processEvents();
    EXPECT_EQ(device().getLastKey(), SDLK_RETURN);
    EXPECT_TRUE(device().anyKeyPressed());
    EXPECT_FALSE(device().wasKeyPressed(SDLK_RETURN));
    EXPECT_TRUE(device().anyKeyPressed());
    EXPECT_FALSE(device().anyKeyPressed());
    EXPECT_FALSE(device().wasKeyPressed(SDLK_ESCAPE));
    EXPECT_EQ(device().getLastKey(), SDLK_RETURN); // reading never clears it

    // A press is gone in the next step whether or not anyone read it; several presses of one key
    // leave one flag.
    h.press(SDLK_b);
    h.press(SDLK_b);
    h.press(SDLK_c);
    device().processEvents();
    EXPECT_EQ(device().getLastKey(), SDLK_c);
    device().processEvents();
    EXPECT_FALSE(device().wasKeyPressed(SDLK_b));
    EXPECT_EQ(device().getLastKey(), 0);

    // Key codes outside the table are never pressed.
    EXPECT_FALSE(device().wasKeyPressed(-1));
    EXPECT_FALSE(device().wasKeyPressed(400));
    EXPECT_FALSE(device().isKeyDown(100000));
}

TEST(Device, ModifiersReadTheHeldState)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    struct Case
    {
        SDLKey key;
        bool shift, ctrl, alt;
    };
    const std::vector<Case> cases = {
        {SDLK_LSHIFT, true, false, false}, {SDLK_RSHIFT, true, false, false},
        {SDLK_LCTRL, false, true, false},  {SDLK_RCTRL, false, true, false},
        {SDLK_LALT, false, false, true},   {SDLK_RALT, false, false, true},
        {SDLK_LEFT, false, false, false},
    };
    for (const Case& c : cases)
    {
        h.hold(c.key);
        device().processEvents();
        EXPECT_TRUE(device().isKeyDown(c.key)) << c.key;
        EXPECT_EQ(device().isShiftDown(), c.shift) << c.key;
        EXPECT_EQ(device().isCtrlDown(), c.ctrl) << c.key;
        EXPECT_EQ(device().isAltDown(), c.alt) << c.key;
        EXPECT_FALSE(device().wasKeyPressed(c.key)) << "a held key is not a press";
        h.releaseAll();
        device().processEvents();
        EXPECT_FALSE(device().isKeyDown(c.key));
    }
}

TEST(Device, SetsKeyRepeatAndTicks)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    int delay = -1;
    int interval = -1;
    device().setKeyRepeat(300, 40);
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 300);
    EXPECT_EQ(interval, 40);
    device().setKeyRepeat(0, 0);
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 0);

    const uint32_t before = device().getTicks();
    SDL_Delay(20);
    EXPECT_GE(device().getTicks() - before, 20u);
}

TEST(Device, CloseEventQuits)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    device().processEvents();
    EXPECT_FALSE(Core::isRunning());
    EXPECT_NE(h.logText().find("Core: quit signal\n\n"), std::string::npos);
}
