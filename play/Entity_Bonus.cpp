#include "Entity_Bonus.h"

#include "Core.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Level.h"
#include "Particle_Apple.h"
#include "Particle_Bonus.h"
#include "Particle_BonusStar.h"

namespace
{
const float pickupDistance = 60.0f;
const int starsPerPickup = 3;
} // namespace

Entity_Bonus::Entity_Bonus() : diamond(0), bombBonus(0), points(0), appleValue(0), appleParticle(0)
{
    bonusFlag = 1;
    roundFlag = 1;
}

bool Entity_Bonus::isBomb()
{
    return bombBonus != 0;
}

void Entity_Bonus::update()
{
    // Falling and crushing come first, so a bonus landing on the player can kill it.
    Entity_Faller::update();

    Game* game = Core::getGame();
    Entity_Player* player = game->getPlayer();
    if (player->isDead() || distanceTo(player) > pickupDistance)
        return;

    player->collect(this);
    Level* level = game->getLevel();
    level->scheduleRemoval(this);
    const Vec2 at = getPosition();
    if (appleParticle)
        level->addParticle(new Particle_Apple(at));
    else
        level->addParticle(new Particle_Bonus(at));
    for (int i = 0; i < starsPerPickup; ++i)
        level->addParticle(new Particle_BonusStar(at));
}
