#include "Entity_Apple.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Sprite.h"
#include "VideoDriver.h"

Entity_Apple::Entity_Apple()
{
    sprite = new Sprite(Core::getDevice()->getVideoDriver()->getTexture("textures/apple.png", true));
    points = 20;
    appleValue = 40;
    appleParticle = 1;
    landingSound = Core::getAudioDriver()->getSound("sounds/sand_coll.wav");
}
