#pragma once

#include <cstdint>
#include <string>

class Texture;
class VideoDriver;

// The text box of Font::print in logical units; print normalises it in place.
struct IntRect
{
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Horizontal, then vertical: 255 left or top, 0 centred, any other value right or bottom.
struct TextAlign
{
    uint8_t horizontal;
    uint8_t vertical;
};

// One line of printf-formatted text from a picture of 16 x 16 glyph cells, one per byte value.
// Owned by the drawing driver's font cache.
class Font
{
  public:
    explicit Font(const std::string& file);
    // The texture belongs to the texture cache.
    ~Font();

    void load();
    bool isLoaded() const;
    // Draws in the driver's current colour. Text beyond 255 characters is cut.
    void print(IntRect& box, const TextAlign& align, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

  private:
    std::string fileName;
    bool loaded;
    VideoDriver* videoDriver;
    Texture* texture;
};
