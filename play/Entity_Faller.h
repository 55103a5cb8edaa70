#pragma once

#include "Entity.h"

class Sound;
class Tile;

// Gravity for rocks, boxes and every bonus: falls into a free cell below, rolls off round
// things (left before right, leaving a side to a faller above that wants it), sounds on landing,
// and crushes the player or an ant it falls onto.
class Entity_Faller : public Entity
{
  public:
    Entity_Faller();

    void update() override;
    virtual bool isFalling();

  protected:
    uint8_t falling;         // set in every frame of a fall, cleared when moving sideways or at rest
    Sound* landingSound;     // landing on anything but sand; may be null
    Sound* sandLandingSound; // landing on sand
    Sound* pushSound;        // starting to roll; may be null

  private:
    // Starts a roll to the first usable side; false when both sides are blocked or taken.
    bool startRoll(const CellPos& cell);
    bool isSideUsable(const CellPos& cell, int8_t side);
    void crushVictims();
    bool crushes(const Entity* victim) const;
};
