#include "Entity_Key.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Sprite.h"
#include "VideoDriver.h"

Entity_Key::Entity_Key() : color(0)
{
    sprite = new Sprite(Core::getDevice()->getVideoDriver()->getTexture("textures/keys.png", true),
                        FrameGrid{8, 8});
    keyFlag = 1;
    points = 20;
    appleValue = 0;
    setColor(0);
    landingSound = Core::getAudioDriver()->getSound("sounds/diamond_coll.wav");
}

void Entity_Key::setColor(uint8_t newColor)
{
    color = newColor;
    if (color == 0)
        sprite->setAnimation(32, 63, 4, 2);
    else
        sprite->setAnimation(0, 31, 4, 2);
}
