#include "Harness.h"

#include "Core.h"
#include "Device.h"
#include "Exception.h"
#include "Game.h"
#include "HashFixture.h"
#include "PngLoader.h"
#include "TestEnv.h"

#include <GL/gl.h>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

// The software GL driver is unloaded when the window closes, and LeakSanitizer then cannot name
// the library its own leaks came from (so they cannot be suppressed). Keep it loaded.
struct KeepGlDriverLoaded
{
    KeepGlDriverLoaded()
    {
        for (const char* path :
             {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so",
              "/usr/lib64/dri/swrast_dri.so", "/usr/lib/dri/swrast_dri.so"})
        {
            if (dlopen(path, RTLD_LAZY | RTLD_NODELETE) != nullptr)
            {
                return;
            }
        }
    }
} keepGlDriverLoaded;

std::string currentDir()
{
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string(".");
}

void makeParents(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    {
        mkdir(path.substr(0, slash).c_str(), 0755);
    }
}

SDLMod modifierOf(SDLKey key)
{
    switch (key)
    {
    case SDLK_LSHIFT:
        return KMOD_LSHIFT;
    case SDLK_RSHIFT:
        return KMOD_RSHIFT;
    case SDLK_LCTRL:
        return KMOD_LCTRL;
    case SDLK_RCTRL:
        return KMOD_RCTRL;
    case SDLK_LALT:
        return KMOD_LALT;
    case SDLK_RALT:
        return KMOD_RALT;
    default:
        return KMOD_NONE;
    }
}

// The last frame that was swapped to the window. It is copied into a texture of its own on the
// GL side at every swap (cheap) and read back to memory only when a test looks at it.
struct ShownFrame
{
    GLuint texture = 0;
    int width = 0;
    int height = 0;
    bool inMemory = false;
    std::vector<uint8_t> rgba; // top row first
};
ShownFrame shownFrame;
// Off while Harness::step runs the steps before its last one: nobody can look at those frames.
bool captureSwaps = true;
unsigned int swaps = 0;
std::string swapError;
bool throwAtSwap = false;
std::exception_ptr swapFault;

// The GL context is new with every start-up: forget the texture of the previous one.
void forgetShownFrame()
{
    shownFrame = ShownFrame();
}

void keepShownFrame(int width, int height)
{
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glReadBuffer(GL_BACK);
    if (shownFrame.texture == 0 || shownFrame.width != width || shownFrame.height != height)
    {
        if (shownFrame.texture == 0)
        {
            glGenTextures(1, &shownFrame.texture);
        }
        glBindTexture(GL_TEXTURE_2D, shownFrame.texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, width, height, 0);
        shownFrame.width = width;
        shownFrame.height = height;
    }
    else
    {
        glBindTexture(GL_TEXTURE_2D, shownFrame.texture);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
    }
    glBindTexture(GL_TEXTURE_2D, previous);
    shownFrame.inMemory = false;
}

const std::vector<uint8_t>& shownFrameInMemory()
{
    if (!shownFrame.inMemory && shownFrame.texture != 0)
    {
        GLint previous = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        std::vector<uint8_t> bottomUp(static_cast<size_t>(shownFrame.width) * shownFrame.height * 4);
        glBindTexture(GL_TEXTURE_2D, shownFrame.texture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        glBindTexture(GL_TEXTURE_2D, previous);
        shownFrame.rgba.resize(bottomUp.size());
        const size_t row = static_cast<size_t>(shownFrame.width) * 4;
        for (int line = 0; line < shownFrame.height; ++line)
        {
            std::copy_n(bottomUp.data() + (shownFrame.height - 1 - line) * row, row,
                        shownFrame.rgba.data() + line * row);
        }
        shownFrame.inMemory = true;
    }
    return shownFrame.rgba;
}

// The region (x, y, width, height) of the back buffer, origin top left, rows top first, as RGBA.
std::vector<uint8_t> readBackBuffer(int windowHeight, int x, int y, int width, int height)
{
    std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 4);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, windowHeight - y - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<uint8_t> topDown(bottomUp.size());
    const size_t row = static_cast<size_t>(width) * 4;
    for (int line = 0; line < height; ++line)
    {
        std::copy_n(bottomUp.data() + (height - 1 - line) * row, row, topDown.data() + line * row);
    }
    return topDown;
}

} // namespace

// Every buffer swap of the game passes through here first (this definition takes the place of the
// window library's own for the test programs): the frame is kept before it goes to the window,
// because the GL front buffer cannot be read back under Xvfb, and the X server's copy of the window
// is covered by the windows of tests running beside this one.
extern "C" void SDL_GL_SwapBuffers(void)
{
    using SwapBuffers = void (*)(void);
    static const SwapBuffers realSwapBuffers =
        reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers"));
    ++swaps;
    if (throwAtSwap)
    {
        throwAtSwap = false;
        throw new Exception(swapError);
    }
    if (swapFault != nullptr)
    {
        const std::exception_ptr fault = swapFault;
        swapFault = nullptr;
        std::rethrow_exception(fault);
    }
    SDL_Surface* screen = SDL_GetVideoSurface();
    if (captureSwaps && screen != nullptr)
    {
        keepShownFrame(screen->w, screen->h);
    }
    if (realSwapBuffers != nullptr && captureSwaps)
    {
        realSwapBuffers();
    }
    else if (realSwapBuffers != nullptr)
    {
        // A frame nobody can look at (the steps before the last of Harness::step) is not sent to
        // the X server: one Xvfb serves every test at once, and a full-window picture per step from
        // each of them keeps it busy enough to delay the key events of the end-to-end tests.
        glFlush();
    }
}

Harness::Harness(const std::string& workDir, const std::map<std::string, std::string>& appDataFiles,
                 const std::string& dataHome)
    : result(-1), previousDir(currentDir()), readBack(false)
{
    if (dataHome.empty())
    {
        appDataDir = useFreshAppData();
    }
    else
    {
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        appDataDir = dataHome + "/vormel/Quarrow/";
    }
    if (!appDataFiles.empty())
    {
        makeParents(appDataDir + "x");
        for (const auto& file : appDataFiles)
        {
            makeParents(appDataDir + file.first);
            writeFile(appDataDir + file.first, file.second);
        }
    }
    if (chdir(workDir.c_str()) != 0)
    {
        ADD_FAILURE_AT(__FILE__, __LINE__);
    }
    // Without a display SDL falls back to a text-mode driver; the tests want the X server or nothing.
    setenv("SDL_VIDEODRIVER", "x11", 0);
    // The shared Xvfb refuses connections now and then while many tests start at once; such a
    // start-up is tried again, for up to 20 s. SDL 1.2 reports a refusal in two ways: "No available
    // video device" when its x11 driver's first probe of the display fails, "Couldn't open X11
    // display" when the probe got through and the real connection did not.
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        forgetShownFrame();
        result = Core::init("config.ini");
        const std::string log = logText();
        if (result == 0 || (log.find("Init error: Couldn't open X11 display") == std::string::npos &&
                            log.find("Init error: No available video device") == std::string::npos))
        {
            break;
        }
        Core::shutdown();
        SDL_Delay(100);
    }
    if (result != 0)
    {
        std::cerr << "Harness: Core::init returned " << result << ", log:\n" << logText() << std::endl;
    }
}

Harness::~Harness()
{
    if (std::getenv("QUARROW_SCREENSHOTS") != nullptr && Core::getDevice() != nullptr)
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        saveScreenshot(test != nullptr ? std::string(test->test_suite_name()) + "." + test->name()
                                       : "harness");
    }
    if (shownFrame.texture != 0 && Core::getDevice() != nullptr)
    {
        glDeleteTextures(1, &shownFrame.texture);
    }
    forgetShownFrame();
    Core::shutdown();
    if (chdir(previousDir.c_str()) != 0)
    {
        // Nothing sensible is left to do in a destructor.
    }
}

int Harness::initResult() const
{
    return result;
}

unsigned int Harness::swapCount() const
{
    return swaps;
}

// X events that arrive during a step (focus, keymap) rewrite SDL's key state; the held keys are
// put back after them so that they reach the step.
void Harness::applyHeld()
{
    if (held.empty())
    {
        return;
    }
    SDL_PumpEvents();
    Uint8* keys = SDL_GetKeyState(nullptr);
    int mods = KMOD_NONE;
    for (const auto& entry : held)
    {
        keys[entry.first] = entry.second ? 1 : 0;
        if (entry.second)
        {
            mods |= modifierOf(entry.first);
        }
    }
    SDL_SetModState(static_cast<SDLMod>(mods));
}

void Harness::step(int n)
{
    for (int i = 0; i < n; ++i)
    {
        // After a failed start-up there is nothing to step.
        if (result != 0 || Core::getDevice() == nullptr || Core::getGame() == nullptr ||
            Core::getAudioDriver() == nullptr)
        {
            return;
        }
        applyHeld();
        captureSwaps = i == n - 1;
        Core::step();
        captureSwaps = true;
    }
    readBack = false;
}

void Harness::hold(SDLKey key, bool down)
{
    held[key] = down;
    if (!down)
    {
        SDL_GetKeyState(nullptr)[key] = 0;
        held.erase(key);
    }
    applyHeld();
    if (held.empty())
    {
        SDL_SetModState(KMOD_NONE);
    }
}

void Harness::press(SDLKey key, SDLMod mod)
{
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    Uint16 unicode = 0;
    if (key >= 32 && key < 127)
    {
        unicode = static_cast<Uint16>(key);
        if ((mod & KMOD_SHIFT) != 0 && key >= 'a' && key <= 'z')
        {
            unicode = static_cast<Uint16>(key - 'a' + 'A');
        }
    }
    else if (key == SDLK_RETURN || key == SDLK_BACKSPACE || key == SDLK_ESCAPE || key == SDLK_TAB)
    {
        unicode = static_cast<Uint16>(key);
    }
    event.key.keysym.unicode = unicode;
    SDL_PushEvent(&event);
}

void Harness::releaseAll()
{
    Uint8* keys = SDL_GetKeyState(nullptr);
    for (int key = 0; key < SDLK_LAST; ++key)
    {
        keys[key] = 0;
    }
    held.clear();
    SDL_SetModState(KMOD_NONE);
}

void Harness::drawFrame()
{
    if (Core::getGame() == nullptr)
    {
        return;
    }
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    Core::getGame()->draw();
    glFinish();
    readBack = true;
}

namespace
{

// A region inside the window, or nothing when it does not fit.
std::vector<uint8_t> readRegion(bool backBuffer, int x, int y, int width, int height)
{
    SDL_Surface* screen = SDL_GetVideoSurface();
    if (screen == nullptr || width <= 0 || height <= 0 || x < 0 || y < 0 || x + width > screen->w ||
        y + height > screen->h)
    {
        return std::vector<uint8_t>();
    }
    if (backBuffer)
    {
        return readBackBuffer(screen->h, x, y, width, height);
    }
    if (shownFrame.texture == 0 || shownFrame.width != screen->w || shownFrame.height != screen->h)
    {
        // Nothing swapped yet: the window is black.
        return std::vector<uint8_t>(static_cast<size_t>(width) * height * 4, 0);
    }
    const std::vector<uint8_t>& frame = shownFrameInMemory();
    std::vector<uint8_t> region(static_cast<size_t>(width) * height * 4);
    const size_t row = static_cast<size_t>(width) * 4;
    for (int line = 0; line < height; ++line)
    {
        const uint8_t* from = frame.data() + ((static_cast<size_t>(y) + line) * shownFrame.width + x) * 4;
        std::copy_n(from, row, region.data() + line * row);
    }
    return region;
}

} // namespace

bool Harness::screenshot(const std::string& pngPath) const
{
    SDL_Surface* screen = SDL_GetVideoSurface();
    const int width = screen != nullptr ? screen->w : 0;
    const int height = screen != nullptr ? screen->h : 0;
    std::vector<uint8_t> pixels = readRegion(readBack, 0, 0, width, height);
    if (pixels.empty())
    {
        return false;
    }
    // A screenshot is opaque whatever the frame's alpha.
    for (size_t i = 3; i < pixels.size(); i += 4)
    {
        pixels[i] = 0xFF;
    }
    return pngSave(pngPath, pixels.data(), width, height);
}

std::string Harness::saveScreenshot(const std::string& name) const
{
    std::string binary = QUARROW_BINARY;
    const std::string folder = binary.substr(0, binary.rfind('/')) + "/screenshots";
    mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/" + name + ".png";
    return screenshot(path) ? path : std::string();
}

uint32_t Harness::pixel(int x, int y) const
{
    const std::vector<uint8_t> rgba = readRegion(readBack, x, y, 1, 1);
    if (rgba.empty())
    {
        return 0;
    }
    const uint8_t* p = rgba.data();
    return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}

long Harness::brightness(int left, int top, int right, int bottom) const
{
    long sum = 0;
    for (int y = top; y < bottom; y += 2)
    {
        for (int x = left; x < right; x += 2)
        {
            const uint32_t rgb = pixel(x, y);
            sum += ((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF);
        }
    }
    return sum;
}

std::string Harness::appData() const
{
    return appDataDir;
}

std::string Harness::logText() const
{
    return readFile(appDataDir + "log.txt");
}

void throwAtNextSwap(const std::string& message)
{
    swapError = message;
    throwAtSwap = true;
}

void throwAtNextSwap(std::exception_ptr error)
{
    swapFault = error;
}

std::string makeWorkDir(const std::map<std::string, std::string>& files, bool withGameData)
{
    const std::string dir = makeTempDir("quarrow-work");
    for (const auto& file : files)
    {
        const std::string path = dir + "/" + file.first;
        makeParents(path);
        writeFile(path, file.second);
    }
    if (withGameData)
    {
        for (const char* folder : {"textures", "sounds", "music"})
        {
            const std::string target = std::string(QUARROW_DATA_DIR) + "/" + folder;
            const std::string link = dir + "/" + folder;
            if (access(target.c_str(), F_OK) == 0 && access(link.c_str(), F_OK) != 0)
            {
                if (symlink(target.c_str(), link.c_str()) != 0)
                {
                    ADD_FAILURE() << "can't link " << link;
                }
            }
        }
    }
    if (files.count("levels.ini") != 0 && files.count("hashes.ini") == 0)
    {
        writeHashes(dir);
    }
    return dir;
}
