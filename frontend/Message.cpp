#include "Message.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Font.h"
#include "Game.h"
#include "Sound.h"
#include "VideoDriver.h"

#include <cmath>

namespace
{
const int KEY_ENTER = 13;
const int KEY_ESCAPE = 27;
} // namespace

Message::Message()
    : phase(0.0f), device(nullptr), videoDriver(nullptr), font1(nullptr), font3(nullptr),
      buttonBackground(nullptr), boxBackground(nullptr), alpha(0.0f), sound(nullptr)
{
    device = Core::getDevice();
    videoDriver = device->getVideoDriver();
    font1 = videoDriver->getFont("textures/font1.png");
    font3 = videoDriver->getFont("textures/font3.png");
    buttonBackground = videoDriver->getTexture("textures/button-bg.png", true);
    boxBackground = videoDriver->getTexture("textures/message-bg.png", true);
    sound = Core::getAudioDriver()->getSound("sounds/message.wav");
}

Message::~Message()
{
    lines.clear();
}

void Message::start()
{
    lines.clear();
    alpha = 0.0f;
    sound->play();
}

void Message::addLine(const std::string& text)
{
    lines.push_back(text);
}

void Message::update()
{
    phase += 0.003f;
    if (alpha < 1.0f)
    {
        alpha += 0.04f;
    }
    // Escape counts only when Enter did not already close the box.
    if (device->wasKeyPressed(KEY_ENTER) || device->wasKeyPressed(KEY_ESCAPE))
    {
        Core::getGame()->setState(2, true);
    }
}

void Message::draw()
{
    const int half = (30 * static_cast<int>(lines.size()) + 210) / 2;
    const int top = 384 - half;

    videoDriver->setColor(1.0f, 1.0f, 1.0f, alpha);
    videoDriver->drawTexture(boxBackground,
                             Rect{192.0f, static_cast<float>(top), 982.0f, static_cast<float>(384 + half)});

    videoDriver->setColor(1.0f, 1.0f, 1.0f, alpha);
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        const int bandTop = top + 60 + 30 * static_cast<int>(i);
        IntRect band{192, bandTop, 982, bandTop + 30};
        font3->print(band, TextAlign{0, 0}, "%s", lines[i].c_str());
    }

    const double pulse = 1.1 + std::sin(static_cast<double>(phase) / 3.14 * 180.0) / 40.0;
    videoDriver->pushMatrix();
    Vec2 centre{592.0f, static_cast<float>(half + 294)};
    videoDriver->translate(centre);
    videoDriver->drawTexture(buttonBackground, Rect{-149.0f, -37.0f, 149.0f, 37.0f});
    videoDriver->scale(Vec2{static_cast<float>(pulse), static_cast<float>(pulse)});
    IntRect button{-149, -37, 149, 37};
    font1->print(button, TextAlign{0, 0}, "ok");
    videoDriver->popMatrix();

    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
}
