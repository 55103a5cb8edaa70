#include "Config.h"
#include "Core.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

TEST(Config, WritesTheDefaultFileWhenMissing)
{
    const std::string dir = makeTempDir("quarrow-config");
    const std::string path = dir + "/config.ini";
    {
        Config config(path);
        EXPECT_EQ(config.get("sound_volume", 70), 50);
        EXPECT_EQ(readFile(path), "dash_with_control = 1\r\nsound_volume = 50\r\nmusic_volume = 30\r\n"
                                  "screen_bpp = 32\r\nscreen_full = 0\r\nscreen_vsync = 1\r\n"
                                  "screen_width = 1024\r\nscreen_height = 768\r\n");
    }
    EXPECT_EQ(readFile(path), "dash_with_control = 1\nmusic_volume = 30\nscreen_bpp = 32\nscreen_full = 0\n"
                              "screen_height = 768\nscreen_vsync = 1\nscreen_width = 1024\nsound_volume = 50\n");
}
