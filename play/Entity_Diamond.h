#pragma once

#include "Entity_Bonus.h"

// Collecting every diamond of the level opens its exit.
class Entity_Diamond : public Entity_Bonus
{
  public:
    Entity_Diamond();
};
