#pragma once

#include <cstdint>

class Font;
class Sound;
class Texture;
class VideoDriver;

// The game-over screen (state 8): "game over" over the dimmed, still running level, with the
// buttons "submit score" and "replay level".
class GameOver
{
  public:
    GameOver();
    virtual ~GameOver();

    // Every entry selects "replay level".
    void start();
    void update();
    void draw();

    uint8_t getSelection() const { return selection; }

  private:
    Sound* stepSound;
    Sound* enterSound;
    VideoDriver* videoDriver;
    Font* font1;
    Font* font2;
    Texture* buttonBackground;
    uint8_t selection; // 0 "submit score", 1 "replay level"
    float phase;

    GameOver(const GameOver&) = delete;
    GameOver& operator=(const GameOver&) = delete;
};
