#include "TestPictures.h"

#include "PngLoader.h"

#include <stdexcept>
#include <vector>

void writePicture(const std::string& path, unsigned int width, unsigned int height,
                  const std::function<uint32_t(unsigned int x, unsigned int y)>& colourAt)
{
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (unsigned int y = 0; y < height; ++y)
    {
        for (unsigned int x = 0; x < width; ++x)
        {
            const uint32_t colour = colourAt(x, y);
            uint8_t* p = rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
            p[0] = static_cast<uint8_t>(colour >> 24);
            p[1] = static_cast<uint8_t>(colour >> 16);
            p[2] = static_cast<uint8_t>(colour >> 8);
            p[3] = static_cast<uint8_t>(colour);
        }
    }
    if (!pngSave(path, rgba.data(), width, height))
    {
        throw std::runtime_error("can't write " + path);
    }
}

uint32_t gridColour(unsigned int c, unsigned int r)
{
    return ((c * 50 + 40) & 0xFF) << 16 | ((r * 50 + 40) & 0xFF) << 8 | 0x80;
}

void writeGridPicture(const std::string& path, unsigned int width, unsigned int height, unsigned int cols,
                      unsigned int rows)
{
    writePicture(path, width, height,
                 [&](unsigned int x, unsigned int y)
                 { return gridColour(x * cols / width, y * rows / height) << 8 | 0xFF; });
}
