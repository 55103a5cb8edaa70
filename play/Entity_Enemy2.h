#pragma once

#include "Entity_Enemy.h"

// The green ant: follows the wall on its left.
class Entity_Enemy2 : public Entity_Enemy
{
  public:
    Entity_Enemy2();

    void update() override;

  private:
    void followWall();
};
