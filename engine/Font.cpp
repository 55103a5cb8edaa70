#include "Font.h"

#include "Core.h"
#include "Device.h"
#include "Rect.h"
#include "Texture.h"
#include "VideoDriver.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

Font::Font(const std::string& file)
    : fileName(file), loaded(false), videoDriver(Core::getDevice()->getVideoDriver()), texture(nullptr)
{
}

Font::~Font() = default;

void Font::load()
{
    texture = videoDriver->getTexture(fileName, true);
    loaded = texture->isLoaded();
}

bool Font::isLoaded() const
{
    return loaded;
}

void Font::print(IntRect& box, const TextAlign& align, const char* format, ...)
{
    if (!loaded || format == nullptr)
    {
        return;
    }

    // vsnprintf cuts a longer text at 255 characters.
    char text[256];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (written < 0)
    {
        text[0] = '\0';
    }
    int length = 0;
    while (length < 255 && text[length] != '\0')
    {
        ++length;
    }

    const float cellWidth = texture->getWidth() * 0.0625f;
    const float cellHeight = texture->getHeight() * 0.0625f;

    if (box.right < box.left)
    {
        std::swap(box.left, box.right);
    }
    if (box.bottom < box.top)
    {
        std::swap(box.top, box.bottom);
    }

    float x;
    if (align.horizontal == 255)
    {
        x = box.left;
    }
    else if (align.horizontal == 0)
    {
        x = box.left + ((box.right - box.left) - 0.6 * length * cellWidth) * 0.5;
    }
    else
    {
        x = box.right - 0.6 * length * cellWidth;
    }

    float y;
    if (align.vertical == 255)
    {
        y = box.top;
    }
    else if (align.vertical == 0)
    {
        y = box.top + ((box.bottom - box.top) - cellHeight) * 0.5;
    }
    else
    {
        y = box.bottom - cellHeight;
    }

    videoDriver->bindTexture(texture);
    videoDriver->begin();
    for (int i = 0; i < length; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const float u = (c % 16) * 0.0625f;
        const float v = (c / 16) * 0.0625f;
        Rect quad = {x, y, x + cellWidth, y + cellHeight};
        videoDriver->drawQuad(quad, {u, v, u + 0.0625f, v + 0.0625f});
        x = static_cast<float>(static_cast<int>(x + 0.6 * cellWidth));
    }
    videoDriver->end();
}
