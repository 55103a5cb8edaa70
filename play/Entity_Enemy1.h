#pragma once

#include "Entity_Enemy.h"

// The red ant: keeps going straight; when blocked it tries left, then back, then right.
class Entity_Enemy1 : public Entity_Enemy
{
  public:
    Entity_Enemy1();

    void update() override;

  private:
    void chooseDirection();
};
