#include "MenuItem_Input.h"

#include "Device.h"

namespace
{
const int KEY_BACKSPACE = 8;

bool isNameCharacter(int key)
{
    return (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z');
}
} // namespace

MenuItem_Input::MenuItem_Input(const std::string& id, const std::string& label)
    : MenuItem(id, label), lengthLimit(12)
{
}

void MenuItem_Input::update()
{
    MenuItem::update();
    if (!selected)
        return;

    const int key = device->getLastKey();
    if (isNameCharacter(key) && label.size() <= lengthLimit)
        label += static_cast<char>(key);
    if (key == KEY_BACKSPACE && !label.empty())
        label.erase(label.size() - 1);
}

std::string MenuItem_Input::getText() const
{
    if (!selected)
        return label;
    const bool cursorShown = (device->getTicks() / 100) / 2 % 2 == 1;
    return label + (cursorShown ? "_" : " ");
}

std::string MenuItem_Input::getValue() const
{
    return label;
}
