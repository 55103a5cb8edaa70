#include "Entity_Box.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Sprite.h"
#include "VideoDriver.h"

Entity_Box::Entity_Box()
{
    sprite = new Sprite(Core::getDevice()->getVideoDriver()->getTexture("textures/box.png", true));
    boxFlag = 1;
    AudioDriver* audio = Core::getAudioDriver();
    landingSound = audio->getSound("sounds/sand_coll.wav");
    pushSound = audio->getSound("sounds/box_dash.wav");
}
