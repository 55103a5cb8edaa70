#include "TileSize.h"

uint16_t tileWidth = 64;
uint16_t tileHeight = 64;
