#pragma once

#include "Entity.h"

// An ant: walks cell by cell at half the player's speed, kills the player on contact, turns
// back when something gets in its way early in a step, and dies under a falling faller.
class Entity_Enemy : public Entity
{
  public:
    Entity_Enemy();

    // The part both kinds share; each kind then chooses where to go.
    void update() override;
    void draw() override;
    virtual void die();
    // Crushed: a kill bonus for the player and a 3 x 3 explosion round the ant.
    virtual void killedByFaller();
    // Picks the walking animation of a new direction.
    virtual void updateAnimation();

    bool isDead() const { return dead != 0; }
    Direction getHeading() const { return heading; }

  protected:
    // May the ant step into the cell at its own cell + step?
    bool isFreeAhead(const CellPos& cell, const Direction& step);
    // Frame 0, no animation: shown while an ant waits.
    void stand();

    uint8_t dead;
    Direction heading;     // the way it walks, or tries
    Direction lastHeading; // heading after the last decision

  private:
    void turnBackIfBlocked();
};
