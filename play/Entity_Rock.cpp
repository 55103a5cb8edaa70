#include "Entity_Rock.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Game.h"
#include "Level.h"
#include "Sprite.h"
#include "VideoDriver.h"

Entity_Rock::Entity_Rock()
{
    const std::string file = "textures/" + Core::getGame()->getLevel()->getTileset() + "/rock.png";
    sprite = new Sprite(Core::getDevice()->getVideoDriver()->getTexture(file, true));
    rockFlag = 1;
    roundFlag = 1;
    rotates = 1;
    AudioDriver* audio = Core::getAudioDriver();
    landingSound = audio->getSound("sounds/rock_coll.wav");
    pushSound = audio->getSound("sounds/rock_dash.wav");
}
