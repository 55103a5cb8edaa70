#include "VideoDriver.h"
#include "Core.h"
#include "Device.h"
#include "Font.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "TestEnv.h"
#include "TestPictures.h"
#include "Texture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <vector>

namespace
{

size_t count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    {
        ++n;
    }
    return n;
}

VideoDriver* video()
{
    return Core::getDevice()->getVideoDriver();
}

GLint boundTextureName()
{
    GLint name = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

} // namespace

TEST(VideoDriver, CentresTheLargest4to3Area)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    struct Case
    {
        uint16_t width, height;
        GLint viewport[4];
    };
    const std::vector<Case> cases = {
        {1024, 768, {0, 0, 1024, 768}},     {1280, 1024, {0, 32, 1280, 960}},
        {1920, 1080, {240, 0, 1440, 1080}}, {1366, 768, {171, 0, 1024, 768}},
        {1332, 1000, {0, 0, 1333, 1000}},   {800, 800, {0, 100, 800, 600}},
    };
    for (const Case& c : cases)
    {
        VideoDriver driver(c.width, c.height);
        GLint viewport[4] = {-1, -1, -1, -1};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), std::vector<GLint>(c.viewport, c.viewport + 4))
            << c.width << "x" << c.height;
    }
}

TEST(VideoDriver, ToScreenTruncatesToWholePixels)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    {
        VideoDriver& driver = *video();
        Rect rect = {1, 3, 4, 767.5f};
        driver.toScreen(rect);
        EXPECT_EQ(rect.left, 1);
        EXPECT_EQ(rect.top, 3);
        EXPECT_EQ(rect.right, 4);
        EXPECT_EQ(rect.bottom, 767);
    }
    VideoDriver driver(1280, 1024);
    Rect rect = {1, 3, 4, -4};
    driver.toScreen(rect);
    EXPECT_EQ(rect.left, 1);    // trunc(1.25)
    EXPECT_EQ(rect.top, 3);     // trunc(3.75)
    EXPECT_EQ(rect.right, 5);   // 4 x 1.25
    EXPECT_EQ(rect.bottom, -5); // toward zero
    Vec2 centre = {512, 384};
    driver.toScreen(centre);
    EXPECT_EQ(centre.x, 640);
    EXPECT_EQ(centre.y, 480);
}

TEST(VideoDriver, DrawsQuadsInTheCurrentColourCornerByCorner)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    VideoDriver& driver = *video();
    Rect rect = {10.5f, 20.9f, 30, 40};
    const std::vector<RecordedQuad> quads = recordQuads(
        [&]
        {
            driver.setColor(0.25f, 0.5f, 0.75f, 1.0f);
            driver.bindTexture(nullptr);
            driver.begin();
            driver.drawQuad(rect, {0.1f, 0.2f, 0.3f, 0.4f});
            driver.end();
            driver.setColor(1, 1, 1, 1);
        });
    EXPECT_EQ(rect.left, 10); // converted in place
    EXPECT_EQ(rect.top, 20);
    ASSERT_EQ(quads.size(), 1u);
    const std::vector<RecordedVertex>& c = quads[0].corners;
    ASSERT_EQ(c.size(), 4u);
    const float expected[4][4] = {
        {10, 20, 0.1f, 0.2f}, {30, 20, 0.3f, 0.2f}, {30, 40, 0.3f, 0.4f}, {10, 40, 0.1f, 0.4f}};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(c[i].x, expected[i][0]) << i;
        EXPECT_EQ(c[i].y, expected[i][1]) << i;
        EXPECT_FLOAT_EQ(c[i].s, expected[i][2]) << i;
        EXPECT_FLOAT_EQ(c[i].t, expected[i][3]) << i;
        EXPECT_FLOAT_EQ(c[i].g, 0.5f);
    }
}

TEST(VideoDriver, CachesTexturesByFileName)
{
    const std::string dir = makeTempDir("quarrow-pictures");
    const std::string gridFile = dir + "/grid.png";
    const std::string otherName = dir + "/./grid.png";
    writeGridPicture(gridFile, 64, 32, 2, 1);
    std::string log;
    {
        Harness h(QUARROW_DATA_DIR);
        ASSERT_NE(Core::getDevice(), nullptr);
        VideoDriver& driver = *video();

        // A missing picture: logged once, cached, never retried.
        Texture* missing = driver.getTexture("nothing.png", false);
        EXPECT_FALSE(missing->isLoaded());
        EXPECT_EQ(missing->getWidth(), 0);
        EXPECT_EQ(driver.getTexture("nothing.png", false), missing);
        EXPECT_EQ(driver.getTexture("nothing.png", true), missing);
        EXPECT_EQ(count(h.logText(), "VideoDriver error: Can't load nothing.png\n"), 1u);

        // The first request's repeat flag stays.
        Texture* grid = driver.getTexture(gridFile, true);
        ASSERT_TRUE(grid->isLoaded());
        EXPECT_EQ(grid->getWidth(), 64);
        EXPECT_EQ(grid->getHeight(), 32);
        EXPECT_EQ(grid->getName(), gridFile);
        EXPECT_NE(h.logText().find("VideoDriver: " + gridFile + " loaded (64x32)\n"), std::string::npos);
        EXPECT_EQ(driver.getTexture(gridFile, false), grid);
        driver.bindTexture(grid);
        EXPECT_EQ(boundTextureName(), static_cast<GLint>(grid->getId()));
        GLint wrap = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
        EXPECT_EQ(wrap, GL_REPEAT);

        // Binding a texture that is not loaded leaves the binding; null unbinds.
        driver.bindTexture(missing);
        EXPECT_EQ(boundTextureName(), static_cast<GLint>(grid->getId()));
        driver.bindTexture(nullptr);
        EXPECT_EQ(boundTextureName(), 0);

        // Dropping frees the GL texture but keeps the object and its cache entry.
        Texture* other = driver.getTexture(otherName, false);
        ASSERT_NE(other, grid);
        const GLuint id = other->getId();
        driver.dropTexture(other);
        EXPECT_FALSE(other->isLoaded());
        EXPECT_EQ(other->getId(), 0u);
        EXPECT_FALSE(glIsTexture(id));
        EXPECT_EQ(other->getName(), otherName);
        EXPECT_EQ(driver.getTexture(otherName, false), other);
        driver.dropTexture(other);
        driver.dropTexture(missing);
        log = h.logText();
        EXPECT_EQ(count(log, "VideoDriver: " + otherName + " dropped\n"), 1u);
        EXPECT_EQ(count(log, "nothing.png dropped"), 0u);

        Texture* clamped = driver.getTexture(gridFile + " ", false);
        EXPECT_FALSE(clamped->isLoaded());
        log = h.appData() + "log.txt";
    }
    // Shut-down drops every loaded texture, then says it is done.
    const std::string text = readFile(log);
    const size_t dropped = text.find("VideoDriver: " + gridFile + " dropped\n");
    EXPECT_NE(dropped, std::string::npos);
    EXPECT_LT(dropped, text.find("VideoDriver: done\n"));
    EXPECT_LT(text.find("VideoDriver: done\n"), text.find("Device: done\n"));
}

TEST(VideoDriver, WalksAndFindsResolutions)
{
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    VideoDriver driver(1024, 768);
    EXPECT_EQ(driver.firstResolution().width, 0);
    EXPECT_EQ(driver.nextResolution().name, "");
    driver.addResolution({1600, 1200, "video_res_0"});
    driver.addResolution({1280, 1024, "video_res_1"});
    driver.addResolution({800, 600, "video_res_2"});

    EXPECT_EQ(driver.firstResolution().name, "video_res_0");
    EXPECT_EQ(driver.nextResolution().width, 1280);
    EXPECT_EQ(driver.nextResolution().height, 600);
    const Resolution past = driver.nextResolution();
    EXPECT_EQ(past.width, 0);
    EXPECT_EQ(past.height, 0);
    EXPECT_EQ(past.name, "");
    EXPECT_EQ(driver.nextResolution().name, "");

    EXPECT_EQ(driver.findResolution("video_res_1").width, 1280);
    EXPECT_EQ(driver.nextResolution().name, "video_res_2");
    EXPECT_EQ(driver.findResolution("video_res_9").name, "");
}

TEST(VideoDriver, CachesFonts)
{
    const std::string fontFile = makeTempDir("quarrow-pictures") + "/font.png";
    writeGridPicture(fontFile, 256, 256, 16, 16);
    Harness h(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    VideoDriver& driver = *video();
    Font* font = driver.getFont(fontFile);
    EXPECT_TRUE(font->isLoaded());
    EXPECT_EQ(driver.getFont(fontFile), font);

    Font* missing = driver.getFont("nofont.png");
    EXPECT_FALSE(missing->isLoaded());
    EXPECT_EQ(driver.getFont("nofont.png"), missing);
    EXPECT_EQ(count(h.logText(), "Can't load nofont.png"), 1u);
    IntRect box = {0, 0, 100, 100};
    EXPECT_TRUE(recordQuads([&] { missing->print(box, {255, 255}, "text"); }).empty());
}
