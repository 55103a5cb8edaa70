#pragma once

#include <string>

// A 128 x 128 level made to load the game as hard as a level can: a third of the cells rocks and
// diamonds, ten tunnels with 200 ants, a column of ten bombs beside the player, who sits walled in
// at the centre so that nothing ends the level while it is measured.
//
// resting: the things lie on sand and stay put; only the ants walk (and the bombs burn once lit).
// Otherwise every sand cell is empty, so everything falls, rolls and crushes ants from the first step.
std::string stressLevel(bool resting);

// The ten bombs stand in this column, rows bombTop to bombTop + 9.
const int stressBombColumn = 67;
const int stressBombTop = 49;
