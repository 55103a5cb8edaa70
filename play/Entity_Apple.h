#pragma once

#include "Entity_Bonus.h"

// Refills the player's apple meter.
class Entity_Apple : public Entity_Bonus
{
  public:
    Entity_Apple();
};
