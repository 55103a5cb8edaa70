#include "Harness.h"
#include "Core.h"
#include "Device.h"
#include "MinimalGame.h"
#include "PngLoader.h"
#include "TestEnv.h"
#include "VideoDriver.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <vector>

TEST(Harness, OpensTheWindowAndRunsSteps)
{
    Harness h(makeMinimalGameDir());
    ASSERT_EQ(h.initResult(), 0);
    SDL_Surface* screen = SDL_GetVideoSurface();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->w, 1024);
    EXPECT_EQ(screen->h, 768);
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    EXPECT_STREQ(title, "Quarrow 1.0");
    h.step(3);
    EXPECT_TRUE(Core::isRunning());
    EXPECT_NE(h.logText().find("Device: init\n"), std::string::npos);
}

TEST(Harness, HeldKeysAndPressesReachTheDevice)
{
    Harness h(makeMinimalGameDir());
    ASSERT_EQ(h.initResult(), 0);
    Device* device = Core::getDevice();

    h.hold(SDLK_LEFT);
    h.hold(SDLK_LCTRL);
    h.press(SDLK_a);
    h.step();
    EXPECT_TRUE(device->isKeyDown(SDLK_LEFT));
    EXPECT_TRUE(device->isCtrlDown());
    EXPECT_FALSE(device->isAltDown());
    EXPECT_EQ(SDL_GetModState() & KMOD_CTRL, KMOD_LCTRL);
    EXPECT_EQ(device->getLastKey(), SDLK_a);

    h.step(5);
    EXPECT_TRUE(device->isKeyDown(SDLK_LEFT));
    EXPECT_EQ(device->getLastKey(), 0);

    h.releaseAll();
    h.step();
    EXPECT_FALSE(device->isKeyDown(SDLK_LEFT));
    EXPECT_FALSE(device->isCtrlDown());
}

TEST(Harness, ReadsBackWhatTheWindowShows)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    VideoDriver* video = Core::getDevice()->getVideoDriver();
    video->setColor(1.0f, 0.0f, 0.0f, 1.0f);
    video->drawTexture(nullptr, {100, 100, 200, 150});
    video->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    Core::getDevice()->swapBuffers();

    EXPECT_EQ(h.pixel(150, 120), 0xFF0000u);
    EXPECT_EQ(h.pixel(99, 120), 0x000000u);
    EXPECT_EQ(h.pixel(150, 150), 0x000000u);

    const std::string path = h.saveScreenshot("harness-red-box");
    ASSERT_FALSE(path.empty());
    std::vector<uint8_t> rgba;
    unsigned int width = 0;
    unsigned int height = 0;
    ASSERT_TRUE(pngDecode(path, rgba, width, height));
    EXPECT_EQ(width, 1024u);
    EXPECT_EQ(height, 768u);
    const size_t at = (120 * 1024 + 150) * 4;
    EXPECT_EQ(rgba[at], 0xFF);
    EXPECT_EQ(rgba[at + 1], 0x00);
}
