#include "View.h"

#include "Core.h"
#include "Game.h"
#include "Level.h"
#include "TileSize.h"
#include "Tilemap.h"

View::View() : x(0.0f), y(0.0f), width(874), height(768)
{
    Core::log("View: init");
}

View::~View()
{
    Core::log("View: done");
}

Vec2 View::getPosition() const
{
    return Vec2{x, y};
}

void View::setPosition(Vec2& p)
{
    const Tilemap* tilemap = Core::getGame()->getLevel()->getTilemap();

    // A level narrower or lower than the camera is shown from its left or top edge.
    const float levelWidth = static_cast<float>(tilemap->getWidth() * tileWidth);
    if (p.x + width > levelWidth)
    {
        p.x = levelWidth - width;
    }
    if (p.x < 0.0f)
    {
        p.x = 0.0f;
    }

    const float levelHeight = static_cast<float>(tilemap->getHeight() * tileHeight);
    if (p.y + height > levelHeight)
    {
        p.y = levelHeight - height;
    }
    if (p.y < 0.0f)
    {
        p.y = 0.0f;
    }

    x = p.x;
    y = p.y;
}
