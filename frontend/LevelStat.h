#pragma once

#include <cstdint>

class Channel;
class Entity_Player;
class Font;
class Sound;
class Sprite;
class Texture;
class VideoDriver;

// The level statistics (state 4): the heading slides in, four lines fade in and count their
// points up, then the level total, the grand total and the buttons "submit score" and
// "next level". The level keeps running behind it.
class LevelStat
{
  public:
    // The order of the lines' alphas.
    enum AlphaIndex
    {
        alphaDiamond = 0,
        alphaApple = 1,
        alphaKill = 2,
        alphaThing = 3
    };

    LevelStat();
    virtual ~LevelStat();

    // A new run from the player's counters; the level music fades out under the jingle.
    void start();
    void update();
    void draw();

    int32_t getLevelTotal() const { return levelTotal; }
    // The profile could not be saved: the end of the run says so under the buttons. Cleared by start.
    void setSaveFailed(bool failed) { saveFailed = failed; }
    bool isSaveFailed() const { return saveFailed; }

    int32_t getTotal() const { return total; }
    int32_t getDiamondCount() const { return diamondCount; }
    int32_t getDiamondTarget() const { return diamondTarget; }
    int32_t getAppleCount() const { return appleCount; }
    int32_t getAppleTarget() const { return appleTarget; }
    int32_t getKillCount() const { return killCount; }
    int32_t getKillTarget() const { return killTarget; }
    int32_t getThingCount() const { return thingCount; }
    int32_t getThingTarget() const { return thingTarget; }
    int32_t getPause() const { return pause; }
    float getFade() const { return fade; }
    float getLineAlpha(int index) const { return lineAlpha[index]; }
    uint8_t getSelection() const { return selection; }

  private:
    enum SpriteIndex
    {
        spriteDiamond = 0,
        spriteApple = 1,
        spriteAnt = 2,
        spriteKeys = 3
    };

    bool isKillLineDone() const { return killCount == killTarget; }
    void fadeLinesIn();
    void countStep();
    void skip();
    void chooseButtons();
    void drawLines();
    void drawNumbers();
    void drawEnd();

    Entity_Player* player;
    Sound* jingle;
    Channel* jingleChannel;
    Sound* stepSound;
    Sound* enterSound;
    VideoDriver* videoDriver;
    Font* font1;
    Font* font2;
    float fade;
    float fadeSpeed;
    float lineAlpha[4];
    Sprite* sprites[4];
    int32_t diamondCount;
    int32_t diamondTarget;
    int32_t appleCount;
    int32_t appleTarget;
    int32_t applePart;
    int32_t killCount;
    int32_t killTarget;
    int32_t thingCount;
    int32_t thingTarget;
    int32_t levelTotal;
    int32_t total;
    int32_t pause;
    Texture* buttonBackground;
    uint8_t selection; // 0 "submit score", 1 "next level"
    float phase;
    float savedMusicVolume;
    bool saveFailed;

    LevelStat(const LevelStat&) = delete;
    LevelStat& operator=(const LevelStat&) = delete;
};
