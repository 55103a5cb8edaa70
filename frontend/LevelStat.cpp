#include "LevelStat.h"

#include "AudioDriver.h"
#include "Channel.h"
#include "Core.h"
#include "Device.h"
#include "Entity_Player.h"
#include "Font.h"
#include "Game.h"
#include "Highscore.h"
#include "Level.h"
#include "Sound.h"
#include "Sprite.h"
#include "Texture.h"
#include "UserManager.h"
#include "VideoDriver.h"

#include <cmath>
#include <cstdlib>

namespace
{
const int KEY_ENTER = 13;
const int KEY_RIGHT = 275;
const int KEY_LEFT = 276;

// One line of the table: where its bar, label and running number go.
struct LineLayout
{
    int alphaIndex;
    int spriteIndex;
    float barTop;
    int32_t labelTop;
    int32_t labelBottom;
    const char* label;
};

// Drawn in this order, top to bottom.
const LineLayout LINES[4] = {
    {LevelStat::alphaDiamond, 0, 213.0f, 208, 272, "diamond x %d"},
    {LevelStat::alphaApple, 1, 273.0f, 268, 332, "apple   x %d"},
    {LevelStat::alphaThing, 3, 333.0f, 333, 387, "thing   x %d"},
    {LevelStat::alphaKill, 2, 393.0f, 393, 447, "kill    x %d"},
};

void drawButtonText(VideoDriver* videoDriver, Font* selectedFont, Font* plainFont, bool selected,
                    double pulse, float x, float y, const char* text)
{
    videoDriver->pushMatrix();
    Vec2 centre{x, y};
    videoDriver->translate(centre);
    IntRect box{-149, -37, 149, 37};
    if (selected)
    {
        videoDriver->scale(Vec2{static_cast<float>(pulse), static_cast<float>(pulse)});
        selectedFont->print(box, TextAlign{0, 0}, "%s", text);
    }
    else
    {
        plainFont->print(box, TextAlign{0, 0}, "%s", text);
    }
    videoDriver->popMatrix();
}

// Raises alpha by one step of its 25-step fade.
void fadeStep(float& alpha)
{
    if (alpha < 1.0f)
    {
        alpha += 0.04f;
    }
}
} // namespace

LevelStat::LevelStat()
    : player(nullptr), jingle(nullptr), jingleChannel(nullptr), stepSound(nullptr), enterSound(nullptr),
      videoDriver(nullptr), font1(nullptr), font2(nullptr), fade(0.0f),
      fadeSpeed(0.07f), lineAlpha{}, sprites{}, diamondCount(0), diamondTarget(0), appleCount(-1),
      appleTarget(0), applePart(0), killCount(-1), killTarget(0), thingCount(-1), thingTarget(0),
      levelTotal(0), total(0), pause(0), buttonBackground(nullptr), selection(1), phase(0.0f),
      savedMusicVolume(0.0f), saveFailed(false)
{
    player = Core::getGame()->getPlayer();
    AudioDriver* audio = Core::getAudioDriver();
    jingle = audio->getSound("music/Completed.mp3");
    stepSound = audio->getSound("sounds/menu_step.wav");
    enterSound = audio->getSound("sounds/menu_enter.wav");
    videoDriver = Core::getDevice()->getVideoDriver();
    font1 = videoDriver->getFont("textures/font1.png");
    font2 = videoDriver->getFont("textures/font2.png");

    Sprite* diamond = new Sprite(videoDriver->getTexture("textures/diamond.png", true), FrameGrid{4, 4});
    diamond->setAnimation(0, 7, 4, 2);
    diamond->setFrame(static_cast<uint16_t>(std::rand() % 8));
    diamond->setPosition(Vec2{346.0f, 240.0f});
    sprites[spriteDiamond] = diamond;

    Sprite* apple = new Sprite(videoDriver->getTexture("textures/apple.png", true));
    apple->setPosition(Vec2{346.0f, 300.0f});
    sprites[spriteApple] = apple;

    Sprite* ant = new Sprite(videoDriver->getTexture("textures/green-ant.png", true), FrameGrid{8, 8});
    ant->setAnimation(0, 11, 3, 2);
    ant->setFrame(static_cast<uint16_t>(std::rand() % 12));
    ant->setPosition(Vec2{346.0f, 420.0f});
    sprites[spriteAnt] = ant;

    Sprite* keys = new Sprite(videoDriver->getTexture("textures/keys.png", true), FrameGrid{8, 8});
    keys->setAnimation(32, 63, 4, 2);
    keys->setPosition(Vec2{346.0f, 360.0f});
    sprites[spriteKeys] = keys;

    buttonBackground = videoDriver->getTexture("textures/button-bg.png", true);
}

LevelStat::~LevelStat()
{
    for (Sprite*& sprite : sprites)
    {
        delete sprite;
        sprite = nullptr;
    }
}

void LevelStat::start()
{
    AudioDriver* audio = Core::getAudioDriver();
    savedMusicVolume = audio->getMusicVolume();
    audio->fadeMusic(-0.02f);
    jingleChannel = jingle->play();
    jingleChannel->setVolume(savedMusicVolume, false);

    fade = 0.0f;
    fadeSpeed = 0.07f;
    for (float& alpha : lineAlpha)
    {
        alpha = 0.0f;
    }
    pause = 0;

    diamondCount = 0;
    appleCount = -1;
    thingCount = -1;
    killCount = -1;

    applePart = static_cast<int32_t>(player->getApplesCollected()) * 20;
    diamondTarget = player->getDiamonds() * 25;
    appleTarget = applePart + player->getApples() * 2;
    thingTarget = static_cast<int32_t>(player->getKeysCollected() + player->getBombsCollected()) * 20;
    killTarget = static_cast<int32_t>(player->getEnemiesKilled()) * 100;

    levelTotal = diamondTarget + appleTarget + thingTarget + killTarget;
    Game* game = Core::getGame();
    const int32_t current = static_cast<int32_t>(game->getLevel()->getCurrentLevel());
    total = game->getUserManager()->getTotalScore(current) + levelTotal;

    selection = 1;
    saveFailed = false;
}

// The heading first; then each line starts once the one above it is three quarters in.
void LevelStat::fadeLinesIn()
{
    if (fade < 1.0f)
    {
        fade += fadeSpeed;
        fadeSpeed /= 1.065f;
        return;
    }
    fadeStep(lineAlpha[alphaDiamond]);
    if (lineAlpha[alphaDiamond] >= 0.75f)
    {
        fadeStep(lineAlpha[alphaApple]);
        if (lineAlpha[alphaApple] >= 0.75f)
        {
            fadeStep(lineAlpha[alphaThing]);
            if (lineAlpha[alphaThing] >= 0.75f)
            {
                fadeStep(lineAlpha[alphaKill]);
            }
        }
    }
}

// Ten more points on the first line still counting.
void LevelStat::countStep()
{
    int32_t* count = nullptr;
    int32_t target = 0;
    bool apples = false;
    if (diamondCount < diamondTarget)
    {
        count = &diamondCount;
        target = diamondTarget;
    }
    else if (appleCount < appleTarget)
    {
        count = &appleCount;
        target = appleTarget;
        apples = true;
    }
    else if (thingCount < thingTarget)
    {
        count = &thingCount;
        target = thingTarget;
    }
    else if (killCount < killTarget)
    {
        count = &killCount;
        target = killTarget;
    }
    if (count == nullptr)
    {
        return;
    }

    if (*count == -1)
    {
        *count = 0;
    }
    *count += 10;
    // Ten points past the apples collected are five units of the meter, at two points each.
    if (apples && applePart < *count)
    {
        player->drainApples();
    }
    if (*count <= target)
    {
        if (*count % 50 == 0)
        {
            stepSound->play();
        }
    }
    else
    {
        *count = target;
    }
    if (*count == target)
    {
        enterSound->play();
        pause = 30;
    }
}

void LevelStat::skip()
{
    for (float& alpha : lineAlpha)
    {
        alpha = 1.0f;
    }
    diamondCount = diamondTarget;
    appleCount = appleTarget;
    thingCount = thingTarget;
    killCount = killTarget;
    pause = 1;
    player->clearApples();
    if (jingleChannel != nullptr)
    {
        jingleChannel->setVolume(0.0f, true);
    }
}

void LevelStat::chooseButtons()
{
    Device* device = Core::getDevice();
    if (device->wasKeyPressed(KEY_LEFT) && selection != 0)
    {
        selection = 0;
        stepSound->play();
    }
    if (device->wasKeyPressed(KEY_RIGHT) && selection != 1)
    {
        selection = 1;
        stepSound->play();
    }
    if (device->wasKeyPressed(KEY_ENTER))
    {
        enterSound->play();
        Game* game = Core::getGame();
        if (selection == 1)
        {
            game->nextLevel();
            game->setState(game->isGameFinished() ? 7 : 2, true);
        }
        else
        {
            // Returns once its own message screen is closed; this screen stays.
            game->getHighscore()->submit();
        }
    }
}

void LevelStat::update()
{
    fadeLinesIn();

    if (lineAlpha[alphaKill] >= 1.0f && pause == 0)
    {
        countStep();
    }

    // The Enter that skips is consumed here, so it does not also choose a button below.
    if (!isKillLineDone() && Core::getDevice()->wasKeyPressed(KEY_ENTER))
    {
        skip();
    }

    if (pause > 0)
    {
        --pause;
        if (pause == 0 && isKillLineDone())
        {
            enterSound->play();
            AudioDriver* audio = Core::getAudioDriver();
            audio->setMusicVolume(savedMusicVolume);
            audio->fadeMusic(0.01f);
        }
    }

    phase += 0.003f;
    sprites[spriteDiamond]->animate();
    sprites[spriteAnt]->animate();
    sprites[spriteKeys]->animate();

    if (isKillLineDone() && pause == 0)
    {
        chooseButtons();
    }

    // The level's things and particles go on moving; its Escape still opens the menu.
    Core::getGame()->getLevel()->update();
}

void LevelStat::drawLines()
{
    const int32_t numbers[4] = {
        player->getDiamonds(), static_cast<int32_t>(player->getApplesCollected()),
        static_cast<int32_t>(player->getKeysCollected() + player->getBombsCollected()),
        static_cast<int32_t>(player->getEnemiesKilled())};
    for (int i = 0; i < 4; ++i)
    {
        const LineLayout& line = LINES[i];
        const float a = lineAlpha[line.alphaIndex];
        videoDriver->setColor(a / 7.0f, a / 7.0f, a / 7.0f, a / 7.0f);
        videoDriver->drawTexture(nullptr, Rect{296.0f, line.barTop, 888.0f, line.barTop + 54.0f});

        videoDriver->setColor(1.0f, 1.0f, 1.0f, a);
        IntRect labelBox{396, line.labelTop, 1024, line.labelBottom};
        font2->print(labelBox, TextAlign{255, 0}, line.label, numbers[i]);

        Sprite* sprite = sprites[line.spriteIndex];
        sprite->setAlpha(a);
        sprite->setScale(Vec2{1.8f - a, 1.8f - a});
        sprite->draw();
    }
}

void LevelStat::drawNumbers()
{
    const int32_t counts[4] = {diamondCount, appleCount, thingCount, killCount};
    // Each line shows its number once the line above it has finished and it has begun itself.
    const bool shown[4] = {true, diamondCount == diamondTarget && appleCount != -1,
                           appleCount == appleTarget && thingCount != -1,
                           thingCount == thingTarget && killCount != -1};
    for (int i = 0; i < 4; ++i)
    {
        if (!shown[i])
        {
            continue;
        }
        const int32_t top = static_cast<int32_t>(LINES[i].barTop);
        IntRect numberBox{396, top, 848, top + 54};
        font1->print(numberBox, TextAlign{1, 0}, "%d", counts[i]);
    }
}

void LevelStat::drawEnd()
{
    IntRect levelBox{296, 447, 888, 544};
    font1->print(levelBox, TextAlign{0, 0}, "level total: %d", levelTotal);
    IntRect totalBox{296, 477, 888, 574};
    font1->print(totalBox, TextAlign{0, 0}, "total: %d", total);

    videoDriver->drawTexture(buttonBackground, Rect{296.0f, 575.0f, 592.0f, 648.0f});
    videoDriver->drawTexture(buttonBackground, Rect{593.0f, 575.0f, 888.0f, 648.0f});

    const double pulse = 1.1 + std::sin(static_cast<double>(phase) / 3.14 * 180.0) / 40.0;
    drawButtonText(videoDriver, font1, font2, selection == 0, pulse, 443.0f, 612.0f, "submit score");
    drawButtonText(videoDriver, font1, font2, selection == 1, pulse, 740.0f, 612.0f, "next level");

    if (saveFailed)
    {
        IntRect failedBox{296, 652, 888, 692};
        font1->print(failedBox, TextAlign{0, 0}, "can't save the profile");
        IntRect consequenceBox{296, 690, 888, 724};
        font2->print(consequenceBox, TextAlign{0, 0}, "score kept until you quit");
    }
}

void LevelStat::draw()
{
    videoDriver->setColor(0.0f, 0.0f, 0.0f, 0.85f);
    videoDriver->drawTexture(nullptr, Rect{0.0f, 0.0f, 1024.0f, 768.0f});

    // The heading slides from y 80 down to y 155 while it fades in.
    videoDriver->pushMatrix();
    Vec2 centre{592.0f, 80.0f + 75.0f * fade};
    videoDriver->translate(centre);
    videoDriver->scale(Vec2{1.5f, 1.5f});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, fade);
    IntRect heading{-512, -20, 512, 20};
    font1->print(heading, TextAlign{0, 0}, "level completed!");
    videoDriver->popMatrix();

    if (fade >= 1.0f)
    {
        drawLines();
    }
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);

    if (lineAlpha[alphaKill] >= 1.0f)
    {
        drawNumbers();
    }
    if (isKillLineDone() && pause == 0)
    {
        drawEnd();
    }
}
