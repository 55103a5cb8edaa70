#pragma once

#include "Entity_Faller.h"

// A square, pushable faller: it never rolls and nothing rolls off it.
class Entity_Box : public Entity_Faller
{
  public:
    Entity_Box();
};
