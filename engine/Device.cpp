#include "Device.h"

#include "Config.h"
#include "Core.h"
#include "Exception.h"
#include "VideoDriver.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

// The mode opened when the configured one is refused: the game's own default, a window.
const uint16_t fallbackWidth = 1024;
const uint16_t fallbackHeight = 768;
const uint8_t fallbackBpp = 32;

} // namespace

Device::Device() : videoDriver(nullptr), keyState(nullptr), lastKey(0), width(0), height(0), bpp(0)
{
    std::memset(pressed, 0, sizeof pressed);

    putenv(const_cast<char*>("SDL_VIDEO_WINDOW_POS=center"));
    putenv(const_cast<char*>("SDL_VIDEO_CENTERED=1"));
    Core::log("Device: init");

    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0)
    {
        throw new Exception(SDL_GetError());
    }
    SDL_WM_SetCaption("Quarrow 1.0", "Quarrow");
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    Config* config = Core::getConfig();
    if (config->get("screen_vsync", 0) != 0)
    {
        SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    }
    const bool fullScreen = config->get("screen_full", 0) != 0;
    const int16_t configWidth = config->get("screen_width", 1024);
    const int16_t configHeight = config->get("screen_height", 768);
    // A negative size would wrap to a window some 65000 pixels across, drawn off the screen.
    if (configWidth < 0 || configHeight < 0)
    {
        Core::log("Device: screen size " + std::to_string(configWidth) + " x " +
                  std::to_string(configHeight) + " not usable, using 1024 x 768");
        width = fallbackWidth;
        height = fallbackHeight;
    }
    else
    {
        width = static_cast<uint16_t>(configWidth);
        height = static_cast<uint16_t>(configHeight);
    }
    bpp = static_cast<uint8_t>(config->get("screen_bpp", 32));

    const Uint32 flags = fullScreen ? SDL_OPENGL | SDL_FULLSCREEN : SDL_OPENGL;
    SDL_Surface* screen = SDL_SetVideoMode(width, height, bpp, flags);
    const bool isFallback =
        !fullScreen && width == fallbackWidth && height == fallbackHeight && bpp == fallbackBpp;
    if (screen == nullptr && !isFallback)
    {
        // A mode this display refuses (full screen larger than the screen, say) would end every
        // later start the same way: open the default window instead and keep it for next time.
        Core::log("Device: video mode " + std::to_string(width) + " x " + std::to_string(height) + " x " +
                  std::to_string(bpp) + (fullScreen ? " full screen" : " window") + " refused (" +
                  SDL_GetError() + "), using a " + std::to_string(fallbackWidth) + " x " +
                  std::to_string(fallbackHeight) + " window");
        width = fallbackWidth;
        height = fallbackHeight;
        screen = SDL_SetVideoMode(width, height, fallbackBpp, SDL_OPENGL);
        if (screen != nullptr)
        {
            if (bpp != fallbackBpp)
            {
                config->set("screen_bpp", fallbackBpp);
            }
            bpp = fallbackBpp;
            config->set("screen_full", 0);
            config->set("screen_width", fallbackWidth);
            config->set("screen_height", fallbackHeight);
        }
    }
    if (screen == nullptr)
    {
        const std::string error = SDL_GetError();
        // The window library stays up until the destructor, which never runs for a failed constructor.
        SDL_Quit();
        throw new Exception(error);
    }
    // A size of 0 lets the window library pick the desktop's; draw for what it picked.
    if (width == 0 || height == 0)
    {
        width = static_cast<uint16_t>(screen->w);
        height = static_cast<uint16_t>(screen->h);
    }
    SDL_ShowCursor(0);
    keyState = SDL_GetKeyState(nullptr);
}

Device::~Device()
{
    delete videoDriver;
    SDL_Quit();
    Core::log("Device: done");
}

void Device::initVideo()
{
    videoDriver = new VideoDriver(width, height);
    checkResolutions();
}

void Device::checkResolutions()
{
    Core::log("Device: Checking available screen resolutions");
    SDL_Rect** modes = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
    if (modes == nullptr)
    {
        Core::log("Device: Can't retrieve information of resolutions");
        Core::quit();
        return;
    }
    if (modes == reinterpret_cast<SDL_Rect**>(-1))
    {
        Core::log("Device: all resolutions available");
        return;
    }
    for (int i = 0; modes[i] != nullptr; ++i)
    {
        const int32_t w = modes[i]->w;
        const int32_t h = modes[i]->h;
        Core::log("Device: resolution " + std::to_string(w) + " x " + std::to_string(h) + " available");
        videoDriver->addResolution({w, h, "video_res_" + std::to_string(i)});
    }
}

VideoDriver* Device::getVideoDriver() const
{
    return videoDriver;
}

void Device::processEvents()
{
    clearPressed();
    lastKey = 0;
    keyState = SDL_GetKeyState(nullptr);

    SDL_Event event;
    while (SDL_PollEvent(&event))
    {
        if (event.type == SDL_QUIT)
        {
            Core::quit();
        }
        else if (event.type == SDL_KEYDOWN && event.key.state == SDL_PRESSED)
        {
            const int32_t key = event.key.keysym.sym;
            lastKey = key;
            // Every code SDL delivers is below 400; anything else is not recorded.
            if (key >= 0 && key < keyCount)
            {
                pressed[key] = 1;
            }
        }
    }
}

bool Device::isKeyDown(int32_t key) const
{
    return keyState != nullptr && key >= 0 && key < SDLK_LAST && keyState[key] != 0;
}

bool Device::wasKeyPressed(int32_t key)
{
    if (key < 0 || key >= keyCount)
    {
        return false;
    }
    const bool result = pressed[key] != 0;
    pressed[key] = 0;
    return result;
}

bool Device::anyKeyPressed()
{
    for (int key = 0; key < keyCount; ++key)
    {
        if (pressed[key] != 0)
        {
            pressed[key] = 0;
            return true;
        }
    }
    return false;
}

int32_t Device::getLastKey() const
{
    return lastKey;
}

bool Device::isShiftDown() const
{
    return isKeyDown(SDLK_RSHIFT) || isKeyDown(SDLK_LSHIFT);
}

bool Device::isCtrlDown() const
{
    return isKeyDown(SDLK_RCTRL) || isKeyDown(SDLK_LCTRL);
}

bool Device::isAltDown() const
{
    return isKeyDown(SDLK_RALT) || isKeyDown(SDLK_LALT);
}

void Device::setKeyRepeat(int32_t delay, int32_t interval)
{
    SDL_EnableKeyRepeat(delay, interval);
}

void Device::clearPressed()
{
    std::memset(pressed, 0, sizeof pressed);
}

uint32_t Device::getTicks() const
{
    return SDL_GetTicks();
}

void Device::swapBuffers()
{
    SDL_GL_SwapBuffers();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}

std::pair<uint16_t, uint16_t> Device::getSize() const
{
    return {width, height};
}

uint16_t Device::getHeight() const
{
    return height;
}

uint8_t Device::getBpp() const
{
    return bpp;
}
