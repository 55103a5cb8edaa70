#include "Entity_Diamond.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Sprite.h"
#include "VideoDriver.h"

#include <cstdlib>

Entity_Diamond::Entity_Diamond()
{
    sprite = new Sprite(Core::getDevice()->getVideoDriver()->getTexture("textures/diamond.png", true),
                        FrameGrid{4, 4});
    sprite->setAnimation(0, 7, 4, 2);
    // Neighbouring diamonds should not sparkle in step.
    sprite->setFrame(static_cast<uint16_t>(rand() % 8));
    diamond = 1;
    points = 25;
    appleValue = 0;
    landingSound = Core::getAudioDriver()->getSound("sounds/diamond_coll.wav");
}
