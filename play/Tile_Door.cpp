#include "Tile_Door.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Sound.h"
#include "Sprite.h"
#include "VideoDriver.h"

Tile_Door::Tile_Door() : color(0)
{
    solidFlag = 1;
    doorFlag = 1;
    sprites[0] = new Sprite(videoDriver->getTexture("textures/door-yellow.png", false), FrameGrid{2, 2});
    sprites[1] = new Sprite(videoDriver->getTexture("textures/door-blue.png", false), FrameGrid{2, 2});
    openSound = Core::getAudioDriver()->getSound("sounds/door_open.wav");
}

Tile_Door::~Tile_Door()
{
    delete sprites[0];
    delete sprites[1];
}

void Tile_Door::setColor(uint8_t value)
{
    color = value == 1 ? 1 : 0;
}

void Tile_Door::open()
{
    solidFlag = 0;
    openFlag = 1;
    sprites[color]->setAnimation(0, 3, 10, 1);
    openSound->play();
}

void Tile_Door::update()
{
    // An open door can still be caught in an explosion.
    Tile::update();
    sprites[color]->animate();
}

void Tile_Door::drawTop()
{
    Tile::drawTop();
    sprites[color]->setPosition(Vec2{centreX(), centreY()});
    sprites[color]->draw();
}
