#include "Level.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Entity.h"
#include "Entity_Apple.h"
#include "Entity_Bomb.h"
#include "Entity_Box.h"
#include "Entity_Diamond.h"
#include "Entity_Enemy1.h"
#include "Entity_Enemy2.h"
#include "Entity_Key.h"
#include "Entity_Player.h"
#include "Entity_Rock.h"
#include "Exception.h"
#include "FileReader.h"
#include "Game.h"
#include "Menu.h"
#include "ParticleManager.h"
#include "Sound.h"
#include "Texture.h"
#include "Tile.h"
#include "TileSize.h"
#include "Tile_Door.h"
#include "Tile_Empty.h"
#include "Tile_Exit.h"
#include "Tile_RoundWall.h"
#include "Tile_Sand.h"
#include "Tile_Wall.h"
#include "Tilemap.h"
#include "VideoDriver.h"
#include "View.h"

#include <SDL/SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace
{
// The head lines hold at most 19 characters, the text part's lines at most 99.
const size_t headLineSize = 20;
const size_t textLineSize = 100;

// The largest hand-made level is a few kilobytes: nothing past this is read, so an endless or
// huge file costs bounded time and memory.
const size_t levelFileLimit = 1024 * 1024;
// Every text line a level file holds is kept, however its blocks are cut. Only a file of a
// megabyte of nearly empty lines comes near this; past it the lines are still read, in step with
// their blocks, but no longer kept, so memory stays bounded.
const size_t maxTextLines = 256 * 1024;
// Things off the grid of a very wide or tall file: one per cell of the largest grid. Things on
// the grid are never more than its cells and are always kept.
const size_t maxThingsOffGrid = 128 * 128;
} // namespace

// The level file read as a text-mode stream would deliver it, with the stream's good state: the
// reading stops for good at the end of the file, at a line longer than its buffer and at a read
// error or the size limit.
class LevelText
{
  public:
    explicit LevelText(const std::string& path)
        : reader(path, FileReader::text, levelFileLimit), good(reader.isOpen())
    {
    }

    bool isOpen() const { return reader.isOpen(); }
    bool isGood() const { return good; }
    // Why the reading ended early; "" at the end of the file.
    const std::string& error() const { return reader.error(); }

    // The next character, or -1 once the stream is no longer good.
    int get()
    {
        const int c = good ? reader.get() : -1;
        good = c >= 0;
        return c;
    }

    // One line into a buffer of `size` bytes: at most size - 1 characters, and only those before
    // a NUL count. False when nothing was left to read; an overlong line is cut and ends the
    // reading.
    bool getLine(std::string& line, size_t size)
    {
        line.clear();
        bool cut = false;
        if (!good || !reader.readLine(line, size - 1, &cut))
        {
            good = false;
            line.clear();
            return false;
        }
        good = !cut;
        line.resize(std::strlen(line.c_str()));
        return true;
    }

  private:
    FileReader reader;
    bool good;
};

// What one level file holds, as read. Column and row are counted in the file's own width.
struct LevelFile
{
    struct Cell
    {
        char c;
        uint16_t column;
        uint16_t row;
    };
    struct Text
    {
        uint16_t x;
        uint16_t y;
        std::string line;
    };

    uint16_t width = 0;
    uint16_t height = 0;
    std::string tileset;
    std::string music;
    std::vector<Cell> cells; // the table characters in file order, the things up to their limit
    std::vector<Text> texts;
    size_t textLinesDropped = 0; // read past the limit on kept text lines
};

namespace
{
// The bottom-up walk of one step. Asking every thing its row once per grid row costs 128 passes
// over the whole list, so each row keeps the places (in list order) of the things standing in it.
// A thing changes its row only in its own update, so this visits exactly what the row passes
// would: a thing that climbs is met again in its new row, one that drops is not, and one added
// during the walk is met in its row if that row's turn has not passed.
struct RowWalk
{
    std::vector<Entity*> order;              // the entity list as it stands, then what is added
    std::vector<std::vector<uint32_t>> rows; // per row, places in order, ascending
    int row = -1;                            // the row whose turn it is; -1 outside a walk
};
RowWalk rowWalk; // kept, so its storage is reused from step to step

void enlist(RowWalk& walk, uint32_t place, int row)
{
    std::vector<uint32_t>& places = walk.rows[row];
    places.insert(std::upper_bound(places.begin(), places.end(), place), place);
}
} // namespace

Level::Level()
    : device(nullptr), videoDriver(nullptr), view(nullptr), tilemap(nullptr), diamondCount(0),
      particles(nullptr), loaded(0), tileset("tileset1"), playMusic(0), index(0), playerLight(0)
{
    Core::log("Level: init");
    device = Core::getDevice();
    videoDriver = device->getVideoDriver();
    view = new View();
    tilemap = new Tilemap();
    particles = new ParticleManager();
    entityCursor = entities.end();
    enemyCursor = enemies.end();
}

Level::~Level()
{
    deleteEntities();
    delete tilemap;
    delete view;
    delete particles;
    Core::log("Level: done");
}

void Level::load(uint32_t levelIndex, const std::string& levelFile, bool withMusic)
{
    // Read whole first: a file that fails to load leaves the level as it was.
    LevelFile read;
    loadFile(levelFile, read);

    playMusic = withMusic ? 1 : 0;
    fileName = levelFile;
    name = Game::levelNameFromFile(levelFile);
    index = levelIndex;
    diamondCount = 0;
    build(read);

    Core::getGame()->getPlayer()->reset();
    loaded = 1;
}

void Level::loadFile(const std::string& file, LevelFile& read)
{
    Core::log("Level: try to load " + file);

    LevelText text(file);
    if (!text.isOpen())
    {
        if (access(file.c_str(), F_OK) == 0)
        {
            // There but refused (a FIFO, a device): the message alone would not say why.
            Core::log("Level: can't read " + file + ": " + text.error());
        }
        throw new Exception("Level: can't open the file " + file);
    }

    std::string line;
    text.getLine(line, headLineSize);
    int width = 0;
    int height = 0;
    std::sscanf(line.c_str(), "%d %d", &width, &height);
    if (width <= 0 || height <= 0)
    {
        throw new Exception("Level: " + file + " hasn't width or height");
    }
    // Widths beyond the grid still count their characters in rows of the file's width.
    read.width = static_cast<uint16_t>(std::min(width, 65535));
    read.height = static_cast<uint16_t>(std::min(height, 65535));

    text.getLine(read.tileset, headLineSize);
    text.getLine(read.music, headLineSize);

    readGrid(text, read);
    readMessages(text, read);

    if (read.textLinesDropped > 0)
    {
        Core::log("Level: " + file + " has more than " + std::to_string(maxTextLines) + " lines of text, " +
                  std::to_string(read.textLinesDropped) + " after them are not shown");
    }
    if (!text.error().empty())
    {
        Core::log("Level: " + file + " is read only in part: " + text.error());
    }
}

void Level::readGrid(LevelText& text, LevelFile& read)
{
    static const char plain[] = ".+#Ox12sp"; // the tiles and the player's start
    static const char things[] = "rZbB*\"'eE";
    size_t thingCount = 0;
    uint16_t column = 0;
    uint16_t row = 0;
    while (text.isGood())
    {
        const int c = text.get();
        if (c <= 0)
        {
            continue;
        }
        const bool thing = std::strchr(things, c) != nullptr;
        if (!thing && std::strchr(plain, c) == nullptr)
        {
            continue;
        }
        // A thing past the limit still takes its cell, so the cells after it stay in place.
        const bool onGrid = column < Tilemap::maxSize && row < Tilemap::maxSize;
        if (!thing || onGrid || thingCount++ < maxThingsOffGrid)
        {
            read.cells.push_back(LevelFile::Cell{static_cast<char>(c), column, row});
        }
        ++column;
        if (column == read.width)
        {
            column = 0;
            ++row;
            if (row == read.height)
            {
                break;
            }
        }
    }
}

void Level::readMessages(LevelText& text, LevelFile& read)
{
    text.get();
    if (!text.isGood())
    {
        return;
    }

    std::string line;
    text.getLine(line, textLineSize);
    int count = 0;
    std::sscanf(line.c_str(), "%d", &count);
    if (count <= 0 || !text.isGood())
    {
        return;
    }

    int x = 0;
    int y = 0;
    int lines = 0;
    // Each line read takes at least its line end from the file, so the file's size limit bounds
    // these loops whatever the counts say.
    for (int block = 0; block < count && text.isGood(); ++block)
    {
        text.getLine(line, textLineSize);
        std::sscanf(line.c_str(), "%d %d %d", &x, &y, &lines);
        for (int i = 0; i < lines && text.isGood(); ++i)
        {
            // Nothing read means the file ended; a cut overlong line is kept.
            if (!text.getLine(line, textLineSize))
            {
                continue;
            }
            if (read.texts.size() < maxTextLines)
            {
                read.texts.push_back(
                    LevelFile::Text{static_cast<uint16_t>(x), static_cast<uint16_t>(y), line});
            }
            else
            {
                ++read.textLinesDropped;
            }
        }
    }
}

void Level::build(const LevelFile& read)
{
    tileset = read.tileset;
    if (read.music != music && playMusic != 0)
    {
        music = read.music;
        Core::getAudioDriver()->playMusic("music/" + music, 0.0f);
    }

    CellPos size{read.width, read.height};
    tilemap->create(size);

    enemies.clear();
    deleteEntities();

    Entity_Player* player = Core::getGame()->getPlayer();
    for (const LevelFile::Cell& cell : read.cells)
    {
        const CellPos at{cell.column, cell.row};
        switch (cell.c)
        {
        case '.':
            tilemap->setTile(at, new Tile_Empty());
            break;
        case '+':
            tilemap->setTile(at, new Tile_Sand());
            break;
        case '#':
            tilemap->setTile(at, new Tile_Wall());
            break;
        case 'O':
            tilemap->setTile(at, new Tile_RoundWall());
            break;
        case 'x':
            tilemap->setTile(at, new Tile_Exit());
            break;
        case '1':
        case '2':
        {
            Tile_Door* door = new Tile_Door();
            door->setColor(cell.c == '1' ? 0 : 1);
            tilemap->setTile(at, door);
            break;
        }
        case 's':
            tilemap->setTile(at, new Tile());
            break;
        case 'r':
            placeEntity(new Entity_Rock(), cell.column, cell.row);
            break;
        case 'Z':
            placeEntity(new Entity_Box(), cell.column, cell.row);
            break;
        case 'b':
            placeEntity(new Entity_Diamond(), cell.column, cell.row);
            ++diamondCount;
            break;
        case 'B':
            placeEntity(new Entity_Apple(), cell.column, cell.row);
            break;
        case '*':
            placeEntity(new Entity_Bomb(), cell.column, cell.row);
            break;
        case '"':
        case '\'':
        {
            Entity_Key* key = new Entity_Key();
            key->setColor(cell.c == '"' ? 0 : 1);
            placeEntity(key, cell.column, cell.row);
            break;
        }
        case 'e':
            placeEntity(new Entity_Enemy1(), cell.column, cell.row);
            break;
        case 'E':
            placeEntity(new Entity_Enemy2(), cell.column, cell.row);
            break;
        case 'p':
            player->setStartPosition(Vec2{static_cast<float>(cell.column * tileWidth + tileWidth / 2),
                                          static_cast<float>(cell.row * tileHeight + tileHeight / 2)});
            player->startBlink();
            break;
        }
    }

    for (const LevelFile::Text& text : read.texts)
    {
        tilemap->addMessage(CellPos{text.x, text.y}, text.line);
    }

    Core::log("Level: " + fileName + " loaded");

    for (Entity* entity : entities)
    {
        entity->addToCells();
    }

    const Vec2 playerPosition = player->getPosition();
    Vec2 corner{std::trunc(playerPosition.x - view->getWidth() / 2),
                std::trunc(playerPosition.y - view->getHeight() / 2)};
    view->setPosition(corner);
}

// Things beyond a grid capped at 128 keep their positions; they are never listed in a tile.
void Level::placeEntity(Entity* entity, uint16_t column, uint16_t row)
{
    entity->setPosition(Vec2{static_cast<float>(column * tileWidth + tileWidth / 2),
                             static_cast<float>(row * tileHeight + tileHeight / 2)});
    addEntity(entity);
}

void Level::update()
{
    Game* game = Core::getGame();
    Entity_Player* player = game->getPlayer();

    if (device->wasKeyPressed(SDLK_ESCAPE))
    {
        game->getMenu()->showMain();
        game->setState(1, true);
    }
    if (device->wasKeyPressed(SDLK_r))
    {
        game->getMenu()->showDialog("replay level?", "game_restart");
    }
    if (!game->isLevelCompleted() && !player->isDead())
    {
        if (device->wasKeyPressed(SDLK_m))
        {
            Core::getAudioDriver()->getSound("sounds/bonus_bomb.wav")->play();
            game->setState(3, true);
        }
    }

    player->update();

    // Lower things move first, so a column of rocks falls together.
    const uint16_t height = tilemap->getHeight();
    RowWalk& walk = rowWalk;
    walk.order.assign(entities.begin(), entities.end());
    walk.rows.resize(height);
    for (std::vector<uint32_t>& places : walk.rows)
    {
        places.clear();
    }
    for (uint32_t place = 0; place < walk.order.size(); ++place)
    {
        const uint16_t row = walk.order[place]->getCell().y;
        if (row < height)
        {
            walk.rows[row].push_back(place);
        }
    }
    for (walk.row = height - 1; walk.row >= 0; --walk.row)
    {
        // By index: a thing added during the walk may grow this row's places.
        for (std::size_t i = 0; i < walk.rows[walk.row].size(); ++i)
        {
            const uint32_t place = walk.rows[walk.row][i];
            Entity* entity = walk.order[place];
            entity->update();
            const uint16_t row = entity->getCell().y;
            if (row < walk.row)
            {
                enlist(walk, place, row);
            }
        }
    }
    walk.row = -1;

    tilemap->update();
    particles->update();

    for (Entity* entity : pendingRemoval)
    {
        if (entity == nullptr)
        {
            continue;
        }
        entities.remove(entity);
        if (entity->isEnemy())
        {
            enemies.remove(entity);
        }
        delete entity;
    }
    pendingRemoval.clear();
    entityCursor = entities.end();
    enemyCursor = enemies.end();

    loaded = 0;
}

void Level::draw()
{
    videoDriver->pushMatrix();
    const Vec2 corner = view->getPosition();
    Vec2 offset{-std::trunc(corner.x), -std::trunc(corner.y)};
    videoDriver->translate(offset);

    tilemap->draw(0, false);
    for (Entity* entity : entities)
    {
        entity->draw();
    }
    Entity_Player* player = Core::getGame()->getPlayer();
    player->draw();
    tilemap->drawTop(false);
    tilemap->draw(1, false);

    if (playerLight != 0)
    {
        const Vec2 centre = player->getPosition();
        videoDriver->setColor(1.0f, 1.0f, 1.0f, 0.5f);
        Texture* light = videoDriver->getTexture("textures/player-light.png", true);
        videoDriver->drawTexture(
            light, Rect{centre.x - 1000.0f, centre.y - 1000.0f, centre.x + 1000.0f, centre.y + 1000.0f});
        videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    }

    particles->draw();
    videoDriver->popMatrix();
}

void Level::addEntity(Entity* entity)
{
    entities.push_back(entity);
    if (entity->isEnemy())
    {
        enemies.push_back(entity);
    }
    // Added during the walk: met in its row unless that row's turn has passed.
    if (rowWalk.row >= 0)
    {
        const uint32_t place = static_cast<uint32_t>(rowWalk.order.size());
        rowWalk.order.push_back(entity);
        const uint16_t row = entity->getCell().y;
        if (row <= rowWalk.row)
        {
            rowWalk.rows[row].push_back(place);
        }
    }
}

void Level::scheduleRemoval(Entity* entity)
{
    if (entity == nullptr || entity == Core::getGame()->getPlayer())
    {
        return;
    }
    if (std::find(pendingRemoval.begin(), pendingRemoval.end(), entity) == pendingRemoval.end())
    {
        pendingRemoval.push_back(entity);
    }
}

void Level::deleteEntities()
{
    for (Entity* entity : entities)
    {
        delete entity;
    }
    entities.clear();
    entityCursor = entities.end();
    // Anything still waiting for removal is gone already.
    pendingRemoval.clear();
}

void Level::addParticle(Particle* particle)
{
    particles->add(particle);
}

Entity* Level::firstEntity()
{
    entityCursor = entities.begin();
    return entityCursor == entities.end() ? nullptr : *entityCursor;
}

Entity* Level::nextEntity()
{
    if (entityCursor == entities.end())
    {
        return nullptr;
    }
    ++entityCursor;
    return entityCursor == entities.end() ? nullptr : *entityCursor;
}

Entity* Level::firstEnemy()
{
    enemyCursor = enemies.begin();
    return enemyCursor == enemies.end() ? nullptr : *enemyCursor;
}

Entity* Level::nextEnemy()
{
    if (enemyCursor == enemies.end())
    {
        return nullptr;
    }
    ++enemyCursor;
    return enemyCursor == enemies.end() ? nullptr : *enemyCursor;
}
