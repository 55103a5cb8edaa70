#include "PngLoader.h"
#include "Core.h"
#include "Device.h"
#include "Harness.h"
#include "TestEnv.h"
#include "TestPictures.h"
#include "Texture.h"
#include "VideoDriver.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace
{

// Writes 8-bit RGBA pixels with libpng's simplified writer in another format: grey, grey and
// alpha, RGB, a palette, or 16 bits per channel.
void writeInFormat(const std::string& path, uint32_t format, const std::vector<uint8_t>& rgba,
                   unsigned int width, unsigned int height)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = format;
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> words;
    std::vector<uint8_t> colormap;
    const void* pixels = rgba.data();
    for (size_t i = 0; i < rgba.size(); i += 4)
    {
        const uint8_t* p = &rgba[i];
        switch (format)
        {
        case PNG_FORMAT_RGB:
            bytes.insert(bytes.end(), {p[0], p[1], p[2]});
            break;
        case PNG_FORMAT_GRAY:
            bytes.push_back(p[0]);
            break;
        case PNG_FORMAT_GA:
            bytes.insert(bytes.end(), {p[0], p[3]});
            break;
        case PNG_FORMAT_RGBA_COLORMAP:
            bytes.push_back(static_cast<uint8_t>(colormap.size() / 4));
            colormap.insert(colormap.end(), p, p + 4);
            break;
        case PNG_FORMAT_LINEAR_RGB_ALPHA:
            for (int c = 0; c < 4; ++c)
            {
                words.push_back(static_cast<uint16_t>(p[c] * 257));
            }
            break;
        default:
            break;
        }
    }
    if (!bytes.empty())
    {
        pixels = bytes.data();
    }
    if (!words.empty())
    {
        pixels = words.data();
    }
    image.colormap_entries = static_cast<png_uint_32>(colormap.size() / 4);
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels, 0,
                                        colormap.empty() ? nullptr : colormap.data()))
        << image.message;
}

// In a child with a window of its own: uploads a width x height picture whose last byte lies just
// before a page that cannot be read, so a read past the picture ends the child with SIGSEGV.
// Returns the child's wait status; 0 when the upload worked and read only the picture.
int uploadBeforeGuardPage(unsigned int width, unsigned int height, int mipmap)
{
    const pid_t child = fork();
    if (child == 0)
    {
        if (SDL_Init(SDL_INIT_VIDEO) != 0 || SDL_SetVideoMode(64, 64, 32, SDL_OPENGL) == nullptr)
        {
            _exit(2);
        }
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t bytes = static_cast<size_t>(width) * height * 4;
        const size_t span = (bytes + page - 1) / page * page;
        void* map = mmap(nullptr, span + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED || mprotect(static_cast<uint8_t*>(map) + span, page, PROT_NONE) != 0)
        {
            _exit(3);
        }
        uint8_t* pixels = static_cast<uint8_t*>(map) + span - bytes;
        for (size_t i = 0; i < bytes; ++i)
        {
            pixels[i] = static_cast<uint8_t>(i * 7);
        }
        GLuint id = 0;
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        if (!pngUpload(pixels, width, height, mipmap))
        {
            _exit(4);
        }
        GLint uploadedWidth = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &uploadedWidth);
        _exit(glGetError() == GL_NO_ERROR && uploadedWidth > 0 ? 0 : 5);
    }
    if (child < 0)
    {
        return -1;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(child, &status, WNOHANG) == 0)
    {
        if (std::chrono::steady_clock::now() > deadline)
        {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status;
}

} // namespace

// Sides that are not powers of two are scaled by GLU; the game's own such pictures are hud.png
// (512 x 384), the credits pictures (1024 x 768), menu-bg.png (440 x 300) and font3.png (384 x 384).
TEST(PngLoader, UploadReadsNothingPastThePicture)
{
    struct Case
    {
        unsigned int width;
        unsigned int height;
        int mipmap;
    };
    const std::vector<Case> cases = {
        {512, 384, PNG_BUILDMIPMAPS}, {1024, 768, PNG_BUILDMIPMAPS}, {8192, 6, PNG_BUILDMIPMAPS},
        {1, 3, PNG_BUILDMIPMAPS},     {440, 300, PNG_BUILDMIPMAPS},  {384, 384, PNG_BUILDMIPMAPS},
        {64, 256, PNG_BUILDMIPMAPS},  {512, 384, PNG_NOMIPMAP},
    };
    for (const Case& c : cases)
    {
        const int status = uploadBeforeGuardPage(c.width, c.height, c.mipmap);
        EXPECT_EQ(status, 0) << c.width << " x " << c.height
                             << (c.mipmap == PNG_BUILDMIPMAPS ? " mipmapped" : "")
                             << (WIFSIGNALED(status)
                                     ? ": killed by signal " + std::to_string(WTERMSIG(status))
                                     : ": exit " + std::to_string(WEXITSTATUS(status)));
    }
}

TEST(PngLoader, DecodesEveryColourTypeToRgba)
{
    const std::string dir = makeTempDir("quarrow-png");
    const unsigned int width = 5;
    const unsigned int height = 3;
    std::vector<uint8_t> rgba;
    for (unsigned int y = 0; y < height; ++y)
    {
        for (unsigned int x = 0; x < width; ++x)
        {
            const uint8_t grey = static_cast<uint8_t>(x * 60);
            rgba.insert(rgba.end(), {grey, grey, grey, static_cast<uint8_t>(y == 2 ? 0 : 255)});
        }
    }
    struct Case
    {
        const char* name;
        uint32_t format;
        bool keepsAlpha;
    };
    const std::vector<Case> cases = {
        {"rgba", PNG_FORMAT_RGBA, true},
        {"rgb", PNG_FORMAT_RGB, false},
        {"grey", PNG_FORMAT_GRAY, false},
        {"grey-alpha", PNG_FORMAT_GA, true},
        {"palette", PNG_FORMAT_RGBA_COLORMAP, true},
        {"16-bit", PNG_FORMAT_LINEAR_RGB_ALPHA, true},
    };
    for (const Case& c : cases)
    {
        const std::string path = dir + "/" + c.name + ".png";
        writeInFormat(path, c.format, rgba, width, height);
        std::vector<uint8_t> decoded;
        unsigned int w = 0;
        unsigned int h = 0;
        ASSERT_TRUE(pngDecode(path, decoded, w, h)) << c.name;
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        ASSERT_EQ(decoded.size(), rgba.size()) << c.name;
        // Pixel (3, 0): grey 180, opaque; pixel (1, 2): transparent where the format keeps alpha.
        EXPECT_NEAR(decoded[3 * 4], 180, 2) << c.name;
        EXPECT_EQ(decoded[3 * 4 + 3], 255) << c.name;
        EXPECT_EQ(decoded[(2 * width + 1) * 4 + 3], c.keepsAlpha ? 0 : 255) << c.name;
    }
}

TEST(PngLoader, RefusesBrokenFilesCleanly)
{
    const std::string dir = makeTempDir("quarrow-pictures");
    writeGridPicture(dir + "/good.png", 64, 64, 2, 2);
    const std::string good = readFile(dir + "/good.png");

    // The IHDR chunk starts at byte 8: length, "IHDR", width, height. A huge width with a right CRC.
    std::string huge = good;
    const unsigned char side[4] = {0x00, 0x01, 0x86, 0xA0}; // 100000
    huge.replace(16, 4, reinterpret_cast<const char*>(side), 4);
    huge.replace(20, 4, reinterpret_cast<const char*>(side), 4);
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17));
    const unsigned char crcBytes[4] = {static_cast<unsigned char>(crc >> 24),
                                       static_cast<unsigned char>(crc >> 16),
                                       static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)};
    huge.replace(29, 4, reinterpret_cast<const char*>(crcBytes), 4);

    std::string corrupt = good;
    corrupt[good.size() / 2] = static_cast<char>(corrupt[good.size() / 2] ^ 0x5A);

    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.png", ""},
        {"signature.png", good.substr(0, 8)},
        {"header.png", good.substr(0, 33)},
        {"half.png", good.substr(0, good.size() / 2)},
        {"text.png", "this is not a picture\n"},
        {"huge.png", huge},
        {"corrupt.png", corrupt},
    };
    for (const auto& file : files)
    {
        writeFile(dir + "/" + file.first, file.second);
        std::vector<uint8_t> rgba;
        unsigned int w = 1;
        unsigned int h = 1;
        EXPECT_FALSE(pngDecode(dir + "/" + file.first, rgba, w, h)) << file.first;
        EXPECT_TRUE(rgba.empty());
        EXPECT_EQ(w, 0u);
    }
    // A folder where a picture belongs.
    const std::string folder = dir + "/folder.png";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    std::vector<uint8_t> none;
    unsigned int w = 1;
    unsigned int h = 1;
    EXPECT_FALSE(pngDecode(folder, none, w, h));
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(w, 0u);

    // Through the texture cache: each is logged once and gives a texture that is not loaded.
    Harness harness(QUARROW_DATA_DIR);
    ASSERT_NE(Core::getDevice(), nullptr);
    VideoDriver* video = Core::getDevice()->getVideoDriver();
    for (const auto& file : files)
    {
        const std::string path = dir + "/" + file.first;
        Texture* texture = video->getTexture(path, false);
        EXPECT_FALSE(texture->isLoaded()) << file.first;
        EXPECT_NE(harness.logText().find("VideoDriver error: Can't load " + path + "\n"), std::string::npos);
    }
    EXPECT_FALSE(video->getTexture(folder, false)->isLoaded());
    EXPECT_NE(harness.logText().find("VideoDriver error: Can't load " + folder + "\n"), std::string::npos);
    EXPECT_FALSE(video->getTexture("no-such-file.png", false)->isLoaded());
    EXPECT_FALSE(video->getTexture("", false)->isLoaded());
    EXPECT_FALSE(video->getTexture(".", false)->isLoaded());
    EXPECT_TRUE(video->getTexture(dir + "/good.png", false)->isLoaded());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
