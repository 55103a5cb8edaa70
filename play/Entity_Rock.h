#pragma once

#include "Entity_Faller.h"

// A round, pushable faller drawn from the level's tileset; it turns as it rolls.
class Entity_Rock : public Entity_Faller
{
  public:
    Entity_Rock();
};
