#include "Font.h"
#include "Core.h"
#include "Device.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "TestEnv.h"
#include "TestPictures.h"
#include "VideoDriver.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{

// A Core whose working folder holds a 512 x 512 font picture: 32 x 32 cells.
struct FontFixture
{
    std::string dir;
    Harness* harness;
    Font* font;

    FontFixture() : dir(makeTempDir("quarrow-pictures"))
    {
        writeGridPicture(dir + "/font.png", 512, 512, 16, 16);
        harness = new Harness(QUARROW_DATA_DIR);
        font = Core::getDevice()->getVideoDriver()->getFont(dir + "/font.png");
    }
    ~FontFixture() { delete harness; }

    std::vector<RecordedQuad> print(IntRect& box, TextAlign align, const char* text)
    {
        return recordQuads([&] { font->print(box, align, "%s", text); });
    }
};

std::vector<float> lefts(const std::vector<RecordedQuad>& quads)
{
    std::vector<float> result;
    for (const RecordedQuad& q : quads)
    {
        result.push_back(q.left());
    }
    return result;
}

} // namespace

TEST(Font, PlacesTextInsideItsBox)
{
    FontFixture f;
    ASSERT_TRUE(f.font->isLoaded());
    struct Case
    {
        IntRect box;
        TextAlign align;
        std::vector<float> lefts;
        float top;
    };
    // Centred: width estimate 0.6 x 3 x 32 = 57.6, x = 100 + (200 - 57.6) / 2 = 171.2, y = 54;
    // each glyph starts at trunc(x + 19.2), and the driver puts corners on whole pixels.
    const std::vector<Case> cases = {
        {{100, 50, 300, 90}, {0, 0}, {171, 190, 209}, 54},
        {{300, 90, 100, 50}, {0, 0}, {171, 190, 209}, 54},
        {{100, 50, 300, 90}, {255, 255}, {100, 119, 138}, 50},
        {{100, 50, 300, 90}, {1, 1}, {242, 261, 280}, 58},
        {{100, 50, 300, 90}, {77, 200}, {242, 261, 280}, 58},
    };
    for (const Case& c : cases)
    {
        IntRect box = c.box;
        const std::vector<RecordedQuad> quads = f.print(box, c.align, "abc");
        EXPECT_EQ(lefts(quads), c.lefts) << c.box.left << " " << int(c.align.horizontal);
        ASSERT_EQ(quads.size(), 3u);
        EXPECT_EQ(quads[0].top(), c.top);
        EXPECT_EQ(quads[0].bottom() - quads[0].top(), 32);
        EXPECT_EQ(quads[0].right() - quads[0].left(), 32);
        // The caller's box is normalised in place.
        EXPECT_EQ(box.left, 100);
        EXPECT_EQ(box.top, 50);
        EXPECT_EQ(box.right, 300);
        EXPECT_EQ(box.bottom, 90);
    }
}

TEST(Font, TakesEachGlyphFromItsCell)
{
    FontFixture f;
    IntRect box = {0, 0, 1024, 768};
    const std::vector<RecordedQuad> quads = recordQuads(
        [&] {
            f.font->print(box, {255, 255}, "A%c%c", 200, '\n');
        });
    ASSERT_EQ(quads.size(), 3u);
    const float expected[3][2] = {{0.0625f, 0.25f}, {0.5f, 0.75f}, {0.625f, 0.0f}};
    for (int i = 0; i < 3; ++i)
    {
        const RecordedVertex& topLeft = quads[i].corners[0];
        const RecordedVertex& bottomRight = quads[i].corners[2];
        EXPECT_FLOAT_EQ(topLeft.s, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(topLeft.t, expected[i][1]) << i;
        EXPECT_FLOAT_EQ(bottomRight.s, expected[i][0] + 0.0625f) << i;
        EXPECT_FLOAT_EQ(bottomRight.t, expected[i][1] + 0.0625f) << i;
    }
}

TEST(Font, DrawsInTheCurrentColourAndCutsLongText)
{
    FontFixture f;
    VideoDriver* driver = Core::getDevice()->getVideoDriver();
    IntRect box = {0, 0, 100, 100};
    driver->setColor(0.5f, 0.25f, 1.0f, 0.75f);
    std::vector<RecordedQuad> quads = f.print(box, {255, 255}, "x");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_FLOAT_EQ(quads[0].corners[0].g, 0.25f);
    EXPECT_FLOAT_EQ(quads[0].corners[0].a, 0.75f);
    driver->setColor(1, 1, 1, 1);

    // Squeezed so that every glyph stays inside the window and so is recorded.
    const std::string text(1000, 'w');
    driver->pushMatrix();
    driver->scale({0.05f, 1});
    EXPECT_EQ(f.print(box, {255, 255}, text.c_str()).size(), 255u);
    driver->popMatrix();
    EXPECT_TRUE(f.print(box, {255, 255}, "").empty());
    EXPECT_TRUE(recordQuads([&] { f.font->print(box, {0, 0}, nullptr); }).empty());
}

TEST(Font, ShowsOnScreen)
{
    FontFixture f;
    IntRect box = {0, 0, 1024, 768};
    Core::getDevice()->getVideoDriver()->setColor(1, 1, 1, 1);
    f.font->print(box, {0, 0}, "%d", 42);
    Core::getDevice()->swapBuffers();
    // "42": two glyphs of 32 units centred, the first cell of byte '4' (column 4, row 3).
    const int x = static_cast<int>(512 - 0.6 * 2 * 32 / 2) + 16;
    EXPECT_EQ(f.harness->pixel(x, 384), gridColour(4, 3));
    EXPECT_EQ(f.harness->pixel(x, 300), 0u);
    f.harness->saveScreenshot("font-42");
}
