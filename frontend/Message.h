#pragma once

#include <string>
#include <vector>

class Device;
class Font;
class Sound;
class Texture;
class VideoDriver;

// The modal box that shows a cell's text over the frozen level (game state 6), with a pulsing
// "ok" button; Enter or Escape returns to play.
class Message
{
  public:
    Message();
    virtual ~Message();

    // A new message: old lines dropped, fade restarted, the chime played.
    void start();
    void addLine(const std::string& text);
    void update();
    void draw();

    const std::vector<std::string>& getLines() const { return lines; }
    float getAlpha() const { return alpha; }

  private:
    std::vector<std::string> lines;
    float phase;
    Device* device;
    VideoDriver* videoDriver;
    Font* font1;
    Font* font3;
    Texture* buttonBackground;
    Texture* boxBackground;
    float alpha;
    Sound* sound;

    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
};
