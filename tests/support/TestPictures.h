#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Writes a width x height RGBA picture whose pixel (x, y) is colourAt(x, y) as 0xRRGGBBAA.
void writePicture(const std::string& path, unsigned int width, unsigned int height,
                  const std::function<uint32_t(unsigned int x, unsigned int y)>& colourAt);
// A picture cut into cols x rows cells, cell (c, r) filled with gridColour(c, r), opaque.
void writeGridPicture(const std::string& path, unsigned int width, unsigned int height, unsigned int cols,
                      unsigned int rows);
// 0xRRGGBB of cell (c, r) in writeGridPicture.
uint32_t gridColour(unsigned int c, unsigned int r);
