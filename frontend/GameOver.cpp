#include "GameOver.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Font.h"
#include "Game.h"
#include "Highscore.h"
#include "Level.h"
#include "Sound.h"
#include "VideoDriver.h"

#include <cmath>

namespace
{
const int KEY_ENTER = 13;
const int KEY_RIGHT = 275;
const int KEY_LEFT = 276;

// One button centred on (x, y): the selected one pulses in font1, the other sits still in font2.
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
} // namespace

GameOver::GameOver()
    : stepSound(nullptr), enterSound(nullptr), videoDriver(nullptr), font1(nullptr), font2(nullptr),
      buttonBackground(nullptr), selection(1), phase(0.0f)
{
    AudioDriver* audio = Core::getAudioDriver();
    stepSound = audio->getSound("sounds/menu_step.wav");
    enterSound = audio->getSound("sounds/menu_enter.wav");
    videoDriver = Core::getDevice()->getVideoDriver();
    font1 = videoDriver->getFont("textures/font1.png");
    font2 = videoDriver->getFont("textures/font2.png");
    buttonBackground = videoDriver->getTexture("textures/button-bg.png", true);
}

GameOver::~GameOver() = default;

void GameOver::start()
{
    selection = 1;
}

void GameOver::update()
{
    Game* game = Core::getGame();
    Device* device = Core::getDevice();
    phase += 0.003f;

    // All three keys are read every frame, so their presses never wait for a later one.
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
        if (selection == 1)
        {
            game->initLevel(static_cast<int32_t>(game->getLevel()->getCurrentLevel()));
            game->setState(2, true);
        }
        else
        {
            // Returns once its own message screen is closed; this screen stays.
            game->getHighscore()->submit();
        }
    }

    // The dead player, the ants and the particles go on behind the screen.
    game->getLevel()->update();
}

void GameOver::draw()
{
    videoDriver->setColor(0.0f, 0.0f, 0.0f, 0.85f);
    videoDriver->drawTexture(nullptr, Rect{0.0f, 0.0f, 1024.0f, 768.0f});

    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    videoDriver->pushMatrix();
    Vec2 centre{592.0f, 315.0f};
    videoDriver->translate(centre);
    videoDriver->scale(Vec2{1.5f, 1.5f});
    IntRect heading{-512, -20, 512, 20};
    font1->print(heading, TextAlign{0, 0}, "game over");
    videoDriver->popMatrix();

    videoDriver->drawTexture(buttonBackground, Rect{296.0f, 375.0f, 592.0f, 448.0f});
    videoDriver->drawTexture(buttonBackground, Rect{593.0f, 375.0f, 888.0f, 448.0f});

    const double pulse = 1.1 + std::sin(static_cast<double>(phase) / 3.14 * 180.0) / 40.0;
    drawButtonText(videoDriver, font1, font2, selection == 0, pulse, 443.0f, 412.0f, "submit score");
    drawButtonText(videoDriver, font1, font2, selection == 1, pulse, 740.0f, 412.0f, "replay level");
}
