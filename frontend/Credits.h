#pragma once

#include <string>
#include <vector>

class Font;
class Texture;
class VideoDriver;

// The credits (state 7): the lines of "credits.txt" scroll up between a background and a picture
// drawn over them, starting again from the bottom once the last line has left the top.
class Credits
{
  public:
    Credits();
    virtual ~Credits();

    // Reads "credits.txt" again, rewinds the scroll and starts the credits music.
    void start();
    void update();
    void draw();

    const std::vector<std::string>& getLines() const { return lines; }
    float getScrollY() const { return scrollY; }
    float getWrapBelow() const { return wrapBelow; }
    void setScrollY(float value) { scrollY = value; }

  private:
    void readLines();

    VideoDriver* videoDriver;
    Texture* creditsPicture;
    Texture* creditsBackground;
    std::vector<std::string> lines;
    Font* font1;
    Font* font2;
    float scrollY;
    float wrapBelow;

    Credits(const Credits&) = delete;
    Credits& operator=(const Credits&) = delete;
};
