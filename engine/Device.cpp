#include "Device.h"

#include <SDL/SDL.h>

uint32_t Device::getTicks() const
{
    return SDL_GetTicks();
}
