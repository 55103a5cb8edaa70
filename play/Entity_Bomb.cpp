#include "Entity_Bomb.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Font.h"
#include "Game.h"
#include "Level.h"
#include "Sound.h"
#include "Sprite.h"
#include "TileSize.h"
#include "Tilemap.h"
#include "VideoDriver.h"

Entity_Bomb::Entity_Bomb() : fuse(fullFuse), shortFuse(0), font(nullptr), tickSound(nullptr)
{
    VideoDriver* videoDriver = Core::getDevice()->getVideoDriver();
    sprite = new Sprite(videoDriver->getTexture("textures/bomb.png", true), FrameGrid{2, 2});
    points = 20;
    bombBonus = 1;
    font = videoDriver->getFont("textures/font1.png");
    AudioDriver* audio = Core::getAudioDriver();
    tickSound = audio->getSound("sounds/bomb_tick.wav");
    landingSound = audio->getSound("sounds/sand_coll.wav");
}

void Entity_Bomb::arm()
{
    bonusFlag = 0;
    armed = 1;
    sprite->setAnimation(1, 3, 6, 2);
}

void Entity_Bomb::trigger()
{
    shortFuse = 1;
}

void Entity_Bomb::update()
{
    if (shortFuse != 0)
    {
        --shortFuse;
        if (shortFuse == 0)
            explode();
        return;
    }
    if (isBonus())
    {
        Entity_Bonus::update();
        return;
    }

    // Lit: still falls and rolls while it burns down.
    Entity_Faller::update();
    if (fuse % 60 == 0)
        tickSound->play();
    --fuse;
    if (fuse == 0)
        explode();
}

void Entity_Bomb::explode()
{
    Level* level = Core::getGame()->getLevel();
    level->scheduleRemoval(this);
    level->getTilemap()->explode(getCell());
}

void Entity_Bomb::draw()
{
    Entity::draw();
    if (fuse == fullFuse)
        return;

    // Counts 3, 2, 1 down to the blast.
    IntRect box{static_cast<int32_t>(x - tileWidth / 2), static_cast<int32_t>(y - tileHeight / 4),
                static_cast<int32_t>(x + tileWidth / 3), static_cast<int32_t>(y + tileHeight / 3)};
    font->print(box, TextAlign{0, 0}, "%u", static_cast<unsigned>(fuse / 66 + 1));
}
