#include "MenuItem_Slider.h"

#include "Core.h"
#include "Device.h"
#include "Game.h"
#include "Menu.h"
#include "Texture.h"
#include "VideoDriver.h"

namespace
{
const int KEY_RIGHT = 275;
const int KEY_LEFT = 276;
} // namespace

MenuItem_Slider::MenuItem_Slider(const std::string& id, const std::string& label)
    : MenuItem(id, label), value(0), bar(videoDriver->getTexture("textures/menu-slider.png", true))
{
    // Room for the bar to the right of the text.
    this->label += "         ";
}

MenuItem_Slider::~MenuItem_Slider() {}

void MenuItem_Slider::update()
{
    MenuItem::update();
    if (!selected)
        return;

    // The menu changes the setting and our value.
    if (device->wasKeyPressed(KEY_LEFT))
        Core::getGame()->getMenu()->event(this, "prev");
    else if (device->wasKeyPressed(KEY_RIGHT))
        Core::getGame()->getMenu()->event(this, "next");
}

void MenuItem_Slider::draw()
{
    MenuItem::draw();
    videoDriver->setColor(0, 0, 0, 0.5f);
    videoDriver->drawTexture(nullptr, Rect{-10, -10, 142, 12});
    videoDriver->setColor(1, 1, 1, 1);
    videoDriver->drawTexture(bar, Rect{-8, -8, value / 100.0f * 148.0f - 8.0f, 10}, Rect{0, 0, 1, 0.8f});
}

void MenuItem_Slider::setValue(int v)
{
    value = v < 0 ? 0 : (v > 100 ? 100 : v);
}

int MenuItem_Slider::getValue() const
{
    return value;
}
