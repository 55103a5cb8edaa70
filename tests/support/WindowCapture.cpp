#include "WindowCapture.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <SDL/SDL.h>
#include <SDL/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static uint8_t channel(unsigned long value, unsigned long mask)
{
    return mask == 0 ? 0 : static_cast<uint8_t>((value & mask) >> __builtin_ctzl(mask));
}

std::vector<uint8_t> readShownWindow(int x, int y, int width, int height)
{
    std::vector<uint8_t> rgba;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0)
    {
        return rgba;
    }
    glFinish();
    glXWaitGL();
    info.info.x11.lock_func();
    XSync(info.info.x11.display, False);
    XImage* image =
        XGetImage(info.info.x11.display, info.info.x11.window, x, y, width, height, AllPlanes, ZPixmap);
    info.info.x11.unlock_func();
    if (image == nullptr)
    {
        return rgba;
    }
    rgba.resize(static_cast<size_t>(width) * height * 4);
    for (int row = 0; row < height; ++row)
    {
        for (int column = 0; column < width; ++column)
        {
            const unsigned long value = XGetPixel(image, column, row);
            uint8_t* out = rgba.data() + (static_cast<size_t>(row) * width + column) * 4;
            out[0] = channel(value, image->red_mask);
            out[1] = channel(value, image->green_mask);
            out[2] = channel(value, image->blue_mask);
            out[3] = 0xFF;
        }
    }
    XDestroyImage(image);
    return rgba;
}
