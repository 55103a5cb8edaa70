#include "Sprite.h"
#include "Core.h"
#include "Device.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "TestEnv.h"
#include "TestPictures.h"
#include "Texture.h"
#include "VideoDriver.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{

// A running Core with pictures of the given sizes, each cut into a grid of distinct colours.
struct SpriteFixture
{
    std::string dir = makeTempDir("quarrow-pictures");
    Harness* harness = nullptr;

    Texture* picture(unsigned int width, unsigned int height, unsigned int cols = 1, unsigned int rows = 1)
    {
        const std::string name = dir + "/" + std::to_string(width) + "x" + std::to_string(height) + ".png";
        writeGridPicture(name, width, height, cols, rows);
        return Core::getDevice()->getVideoDriver()->getTexture(name, false);
    }
};

void expectRect(const Rect& r, float left, float top, float right, float bottom)
{
    EXPECT_FLOAT_EQ(r.left, left);
    EXPECT_FLOAT_EQ(r.top, top);
    EXPECT_FLOAT_EQ(r.right, right);
    EXPECT_FLOAT_EQ(r.bottom, bottom);
}

} // namespace

TEST(Sprite, KeepsRotationInOneTurnWithOneCorrection)
{
    Harness h(QUARROW_DATA_DIR);
    Texture texture("none.png");
    Sprite sprite(&texture);
    const std::vector<std::pair<float, float>> cases = {{360, 0},         {-90, 270}, {725, 365}, {0, 0},
                                                        {359.5f, 359.5f}, {-360, 0},  {719, 359}};
    for (const auto& c : cases)
    {
        sprite.setRotation(c.first);
        EXPECT_FLOAT_EQ(sprite.getRotation(), c.second) << c.first;
    }
}

TEST(Sprite, AnimatesOnceOrInALoop)
{
    Harness h(QUARROW_DATA_DIR);
    Texture texture("none.png");
    Sprite sprite(&texture, {4, 4});

    sprite.setAnimation(0, 3, 2, 1);
    std::vector<uint16_t> frames;
    for (int i = 0; i < 8; ++i)
    {
        sprite.animate();
        frames.push_back(sprite.getFrame());
    }
    EXPECT_EQ(frames, std::vector<uint16_t>({0, 1, 1, 2, 2, 3, 3, 3}));
    EXPECT_EQ(sprite.getAnimMode(), 0);

    sprite.setAnimation(0, 3, 2, 2);
    for (int i = 0; i < 8; ++i)
    {
        sprite.animate();
    }
    EXPECT_EQ(sprite.getFrame(), 0);
    EXPECT_EQ(sprite.getAnimMode(), 2);

    // A delay of 0 or 1 moves on every step; setFrame leaves the animation running.
    sprite.setAnimation(5, 7, 0, 2);
    sprite.animate();
    EXPECT_EQ(sprite.getFrame(), 6);
    sprite.setFrame(5);
    sprite.animate();
    EXPECT_EQ(sprite.getFrame(), 6);

    // No animation: nothing moves.
    sprite.setAnimation(9, 9, 1, 0);
    sprite.animate();
    EXPECT_EQ(sprite.getFrame(), 9);
}

TEST(Sprite, CutsFramesFromTheGrid)
{
    SpriteFixture f;
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);

    Sprite square(f.picture(256, 256), {4, 4});
    square.setFrame(5);
    expectRect(square.getFrameRect(), 0.25f, 0.25f, 0.5f, 0.5f);
    expectRect(square.getQuad(), -32, -32, 32, 32);

    Sprite wide(f.picture(256, 64), {4, 2});
    wide.setFrame(5);
    expectRect(wide.getFrameRect(), 0.25f, 0.5f, 0.5f, 1.0f);
    expectRect(wide.getQuad(), -32, -16, 32, 16);

    Sprite odd(f.picture(65, 33));
    expectRect(odd.getQuad(), -32, -16, 32, 16);
    EXPECT_EQ(odd.getFrameSize().first, 65);
    EXPECT_EQ(odd.getFrameSize().second, 33);

    // A picture that failed to load gives frames of size 0.
    Sprite broken(Core::getDevice()->getVideoDriver()->getTexture("missing.png", false), {2, 2});
    expectRect(broken.getQuad(), 0, 0, 0, 0);
}

TEST(Sprite, DrawsAboutItsCentreAndLeavesTheColourWhite)
{
    SpriteFixture f;
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    VideoDriver* driver = Core::getDevice()->getVideoDriver();
    Sprite sprite(f.picture(256, 64), {4, 2});
    sprite.setFrame(5);
    sprite.setPosition({512, 384});
    sprite.setAlpha(0.5f);

    std::vector<RecordedQuad> quads = recordQuads([&] { sprite.draw(); });
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].left(), 480);
    EXPECT_EQ(quads[0].right(), 544);
    EXPECT_EQ(quads[0].top(), 368);
    EXPECT_EQ(quads[0].bottom(), 400);
    EXPECT_FLOAT_EQ(quads[0].corners[0].a, 0.5f);
    EXPECT_FLOAT_EQ(quads[0].corners[0].s, 0.25f);
    EXPECT_FLOAT_EQ(quads[0].corners[0].t, 0.5f);
    const float* colour = driver->getColor();
    EXPECT_EQ(std::vector<float>(colour, colour + 4), std::vector<float>({1, 1, 1, 1}));

    // A quarter turn about the centre: the 64 x 32 frame stands 32 x 64.
    sprite.setRotation(90);
    quads = recordQuads([&] { sprite.draw(); });
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_NEAR(quads[0].left(), 496, 0.01);
    EXPECT_NEAR(quads[0].right(), 528, 0.01);
    EXPECT_NEAR(quads[0].top(), 352, 0.01);
    EXPECT_NEAR(quads[0].bottom(), 416, 0.01);
}

TEST(Sprite, MirrorsWithTheFlipBitsOrANegativeScale)
{
    SpriteFixture f;
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    // Left half and right half, top half and bottom half in four colours.
    Sprite sprite(f.picture(64, 64, 2, 2));
    sprite.setPosition({200, 200});
    sprite.setScale({2, 2});
    const auto corners = [&]
    {
        Core::getDevice()->swapBuffers();
        sprite.draw();
        Core::getDevice()->swapBuffers();
        return std::vector<uint32_t>{h.pixel(180, 180), h.pixel(220, 180), h.pixel(180, 220),
                                     h.pixel(220, 220)};
    };
    const uint32_t tl = gridColour(0, 0), tr = gridColour(1, 0), bl = gridColour(0, 1), br = gridColour(1, 1);
    EXPECT_EQ(corners(), std::vector<uint32_t>({tl, tr, bl, br}));
    sprite.setFlip(1);
    EXPECT_EQ(corners(), std::vector<uint32_t>({tr, tl, br, bl}));
    sprite.setFlip(3);
    EXPECT_EQ(corners(), std::vector<uint32_t>({br, bl, tr, tl}));
    sprite.setFlip(0);
    sprite.setScale({-2, 2});
    EXPECT_EQ(corners(), std::vector<uint32_t>({tr, tl, br, bl}));
    // Scaled by 2 about the centre: the picture now reaches 64 units each way.
    EXPECT_EQ(h.pixel(200 + 60, 220), bl);
    EXPECT_EQ(h.pixel(200 + 68, 220), 0u);
    h.saveScreenshot("sprite-mirrored");
}
