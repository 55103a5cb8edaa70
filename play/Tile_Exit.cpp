#include "Tile_Exit.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "Sound.h"
#include "Sprite.h"
#include "VideoDriver.h"

Tile_Exit::Tile_Exit()
{
    solidFlag = 1;
    sprite = new Sprite(videoDriver->getTexture("textures/door-exit.png", false), FrameGrid{2, 2});
    openSound = Core::getAudioDriver()->getSound("sounds/door_open.wav");
}

Tile_Exit::~Tile_Exit()
{
    delete sprite;
}

void Tile_Exit::update()
{
    Game* game = Core::getGame();
    if (game->isLevelCompleted() || player == nullptr)
    {
        return;
    }
    if (!openFlag && player->getDiamonds() == game->getLevel()->getDiamondCount())
    {
        openFlag = 1;
        sprite->setAnimation(0, 3, 10, 1);
        openSound->play();
        game->showMessage("exit opened", 109);
    }
    const Vec2 p = player->getPosition();
    if (static_cast<int>(centreX() - p.x) == 0 && static_cast<int>(centreY() - p.y) == 0)
    {
        game->levelCompleted();
    }
    sprite->animate();
}

void Tile_Exit::drawTop()
{
    Tile::drawTop();
    sprite->setPosition(Vec2{centreX(), centreY()});
    sprite->draw();
}
