// Temporary: compiled once the controller and the sound layer are in the tree.
#if __has_include("Level.cpp") && __has_include("Game.cpp") && __has_include("Sound.h")
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

#endif
