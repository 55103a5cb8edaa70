#include "MenuItem.h"

#include "Core.h"
#include "Device.h"
#include "Font.h"
#include "Game.h"
#include "Menu.h"
#include "Texture.h"
#include "VideoDriver.h"

#include <algorithm>
#include <cmath>

namespace
{
const int KEY_UP = 273;
const int KEY_DOWN = 274;
} // namespace

MenuItem::MenuItem(const std::string& id, const std::string& label)
    : id(id), label(label), title(""), selected(0), phase(0.0f), disabled(0), scrollFirst(0), visibleRows(6),
      device(Core::getDevice()), videoDriver(device->getVideoDriver()),
      font2(videoDriver->getFont("textures/font2.png")), font1(videoDriver->getFont("textures/font1.png")),
      selectedIndex(0), moreUp(videoDriver->getTexture("textures/menu-more-up.png", false)),
      moreDown(videoDriver->getTexture("textures/menu-more-down.png", false)), parent(nullptr)
{
}

MenuItem::~MenuItem()
{
    clear();
}

void MenuItem::updatePage()
{
    // Both flags are read every frame so a press never lingers into another page.
    const bool down = device->wasKeyPressed(KEY_DOWN);
    const bool up = device->wasKeyPressed(KEY_UP);
    const int step = up ? -1 : (down ? 1 : 0);
    const int count = static_cast<int>(children.size());

    if (step != 0)
    {
        int candidate = selectedIndex + step;
        while (candidate >= 0 && candidate < count && children[candidate]->isDisabled())
            candidate += step;
        if (candidate != selectedIndex && candidate >= 0 && candidate < count)
        {
            select(candidate);
            Core::getGame()->getMenu()->event(this, "step");
        }
    }

    if (selectedIndex < scrollFirst)
        scrollFirst = selectedIndex;
    if (scrollFirst + visibleRows <= selectedIndex)
        scrollFirst = selectedIndex - visibleRows + 1;

    for (MenuItem* child : children)
        child->update();
}

void MenuItem::update()
{
    phase += 0.003f;
}

void MenuItem::drawPage()
{
    const int count = static_cast<int>(children.size());
    const int rows = std::min(count, static_cast<int>(visibleRows));
    const int end = std::min(count, scrollFirst + visibleRows);

    for (int k = scrollFirst; k < end; ++k)
    {
        const int row = k - scrollFirst;
        videoDriver->pushMatrix();
        Vec2 origin = {512.0f, 388.0f - 15.0f * rows + 30.0f * (row + 1)};
        videoDriver->translate(origin);
        children[k]->draw();
        videoDriver->popMatrix();
    }

    if (scrollFirst > 0)
        videoDriver->drawTexture(moreUp, Rect{496, 280, 531, 302});
    if (visibleRows < count && scrollFirst < count - visibleRows)
        videoDriver->drawTexture(moreDown, Rect{496, 508, 531, 530});
}

void MenuItem::draw()
{
    const std::string text = getText();
    if (disabled)
        videoDriver->setColor(1, 1, 1, 0.3f);

    IntRect box = {0, 0, 0, 0};
    const TextAlign centre = {0, 0};
    if (!selected)
    {
        videoDriver->scale(Vec2{1.1f, 1.1f});
        font2->print(box, centre, "%s", text.c_str());
    }
    else
    {
        const double s = 1.25 + std::sin(static_cast<double>(phase) / 3.14 * 180.0) / 40.0;
        videoDriver->scale(Vec2{static_cast<float>(s), static_cast<float>(s)});
        font1->print(box, centre, "%s", text.c_str());
    }
    videoDriver->setColor(1, 1, 1, 1);
}

std::string MenuItem::getText() const
{
    return label;
}

int MenuItem::addChild(MenuItem* child)
{
    child->parent = this;
    if (children.empty())
        child->setSelected(true);
    children.push_back(child);
    return static_cast<int>(children.size()) - 1;
}

int MenuItem::getChildCount() const
{
    return static_cast<int>(children.size());
}

MenuItem* MenuItem::getChild(int index) const
{
    if (index < 0 || index >= static_cast<int>(children.size()))
        return nullptr;
    return children[index];
}

MenuItem* MenuItem::getParent() const
{
    return parent;
}

MenuItem* MenuItem::getSelectedChild() const
{
    if (selectedIndex < 0 || selectedIndex >= getChildCount())
        return nullptr;
    return children[selectedIndex];
}

std::string MenuItem::getId() const
{
    return id;
}

void MenuItem::select(int32_t index)
{
    if (index < 0 || index >= getChildCount())
        return;
    selectedIndex = index;
    for (MenuItem* child : children)
        child->setSelected(false);
    children[index]->setSelected(true);
}

void MenuItem::setSelected(bool isSelected)
{
    selected = isSelected ? 1 : 0;
}

bool MenuItem::isDisabled() const
{
    return disabled != 0;
}

void MenuItem::setDisabled(bool isDisabled)
{
    disabled = isDisabled ? 1 : 0;
}

void MenuItem::setLabel(const std::string& text)
{
    label = text;
}

void MenuItem::setTitle(const std::string& text)
{
    title = text;
}

std::string MenuItem::getTitle() const
{
    return title.empty() ? label : title;
}

bool MenuItem::openById(const std::string& wanted)
{
    for (MenuItem* child : children)
    {
        if (child->id != wanted && child->openById(wanted))
            return true;
        if (child->id == wanted)
        {
            Core::getGame()->getMenu()->setPage(child);
            return true;
        }
    }
    return false;
}

void MenuItem::clear()
{
    selectedIndex = 0;
    scrollFirst = 0;
    visibleRows = 6;
    for (MenuItem* child : children)
        delete child;
    children.clear();
}
