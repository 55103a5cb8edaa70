#pragma once

#include "Entity_Faller.h"

// A round faller the player collects by coming within 60 px of it: it hands itself to the
// player, leaves the level at the end of the step and bursts into particles.
class Entity_Bonus : public Entity_Faller
{
  public:
    Entity_Bonus();

    void update() override;
    bool isBomb() override;

    bool isDiamond() const { return diamond != 0; }
    uint16_t getPoints() const { return points; }
    uint16_t getAppleValue() const { return appleValue; }

  protected:
    uint8_t diamond;
    uint8_t bombBonus;
    uint16_t points;
    uint16_t appleValue;   // added to the player's apple meter
    uint8_t appleParticle; // the pickup glows like an apple
};
