#pragma once

#include "CellPos.h"
#include "TileRange.h"

#include <cstdint>
#include <string>
#include <vector>

class Sound;
class Texture;
class Tile;
class VideoDriver;

// The level's grid of at most 128 x 128 tiles, a list of text lines per cell, and one wall
// that stands for every cell outside the grid.
class Tilemap
{
  public:
    static constexpr uint16_t maxSize = 128;

    Tilemap();
    ~Tilemap();

    // A grid of empty tiles; caps the caller's size at 128 x 128 in place.
    void create(CellPos& size);
    // Deletes every tile and empties every text list.
    void clean();

    // The cell's tile, or the outside wall for any cell outside the grid (65535 included).
    Tile* getTile(const CellPos& position) const;
    // The grid owns tile from now on; a tile for a cell outside the grid is deleted at once.
    void setTile(const CellPos& position, Tile* tile);
    uint16_t getWidth() const { return width; }
    uint16_t getHeight() const { return height; }
    bool isInside(const CellPos& position) const { return position.x < width && position.y < height; }

    void addMessage(const CellPos& position, const std::string& text);
    const std::vector<std::string>& getMessages(const CellPos& position) const;

    // 3 x 3 explosion round centre.
    void explode(const CellPos& centre);
    TileRange getVisibleRange(bool all) const;
    void draw(uint16_t layer, bool all);
    void drawTop(bool all);
    // Every tile's update, then the text of the player's cell once the player reaches its centre.
    void update();

  private:
    static unsigned index(uint16_t x, uint16_t y) { return x * maxSize + y; }

    Tile* grid[maxSize * maxSize];
    std::vector<std::string> messages[maxSize * maxSize];
    Tile* outside;
    uint16_t width;
    uint16_t height;
    VideoDriver* videoDriver;
    Texture* background;
    Texture* tileset;
    Sound* explosionSound;

    Tilemap(const Tilemap&) = delete;
    Tilemap& operator=(const Tilemap&) = delete;
};
