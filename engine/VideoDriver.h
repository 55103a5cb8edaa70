#pragma once

#include "Rect.h"
#include "Resolution.h"
#include "Vec2.h"

#include <cstdint>
#include <list>
#include <map>
#include <string>

class Font;
class Texture;

// The one drawing driver: a logical 1024 x 768 screen shown in the largest centred 4:3 area of the
// window, quads in a current colour, the matrix stack, and the texture and font caches.
class VideoDriver
{
  public:
    // The window's size in pixels; sets up OpenGL for 2D drawing and shows a black frame.
    VideoDriver(uint16_t width, uint16_t height);
    // Drops and deletes every texture, deletes every font.
    ~VideoDriver();

    // Colour of all following quads, kept until changed.
    void setColor(float r, float g, float b, float a);
    // Logical units to whole viewport pixels, in place.
    void toScreen(Rect& rect) const;
    void toScreen(Vec2& point) const;

    void begin();
    void end();
    // One quad between begin and end; converts rect in place.
    void drawQuad(Rect& rect, const Rect& texRect);
    // Null binds no texture; a texture that is not loaded leaves the binding as it was.
    void bindTexture(Texture* texture);
    // A single picture (null: a plain quad in the current colour); the caller's rectangles stay unchanged.
    void drawTexture(Texture* texture, const Rect& rect, const Rect& texRect);
    void drawTexture(Texture* texture, const Rect& rect);
    // The whole picture at its pixel size in the top-left corner.
    void drawTexture(Texture* texture);

    void pushMatrix();
    void popMatrix();
    // Converts the point to viewport pixels in place, then translates by it.
    void translate(Vec2& offset);
    // Degrees; positive turns clockwise on screen.
    void rotate(float degrees);
    void scale(const Vec2& factors);
    void clear();

    // The cached texture, or a newly loaded one; never null. A failed load is cached and logged once.
    Texture* getTexture(const std::string& file, bool repeat);
    Texture* loadTexture(std::string file, bool repeat);
    // Frees the picture's OpenGL texture; the object and its cache entry stay.
    void dropTexture(Texture* texture);
    // The cached font, loaded if it is not yet; never null.
    Font* getFont(const std::string& file);

    void addResolution(const Resolution& resolution);
    // The walk over the video modes shares one cursor with findResolution. Past the end, or not
    // found: the empty record (0, 0, "").
    Resolution firstResolution();
    Resolution nextResolution();
    Resolution findResolution(const std::string& name);

    const float* getColor() const;
    float getViewportWidth() const;
    float getViewportHeight() const;

  private:
    std::list<Resolution> resolutions;
    std::list<Resolution>::iterator cursor;
    std::map<std::string, Texture*> textures;
    std::map<std::string, Font*> fonts;
    Texture* boundTexture;
    float color[4];
    float viewportWidth;
    float viewportHeight;
};
