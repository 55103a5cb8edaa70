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
#include <vector>

namespace
{
// The head lines hold at most 19 characters, the text part's lines at most 99.
const int headLineSize = 20;
const int textLineSize = 100;

// A Windows text-mode read turns every CR LF into LF; level files made there read the same here.
std::string withoutCarriageReturns(const std::string& bytes)
{
    std::string result;
    result.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
    {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
        {
            continue;
        }
        result += bytes[i];
    }
    return result;
}

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
    playMusic = withMusic ? 1 : 0;
    fileName = levelFile;
    name = Game::levelNameFromFile(levelFile);
    index = levelIndex;
    diamondCount = 0;

    loadFile();

    Core::getGame()->getPlayer()->reset();
    loaded = 1;
}

void Level::loadFile()
{
    Core::log("Level: try to load " + fileName);

    file.open(fileName, std::ios::in | std::ios::binary);
    if (!file.is_open())
    {
        file.clear();
        throw new Exception("Level: can't open the file " + fileName);
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    text.clear();
    text.str(withoutCarriageReturns(bytes));

    char line[headLineSize];
    text.getline(line, headLineSize);
    int width = 0;
    int height = 0;
    std::sscanf(line, "%d %d", &width, &height);
    if (width <= 0 || height <= 0)
    {
        throw new Exception("Level: " + fileName + " hasn't width or height");
    }

    text.getline(line, headLineSize);
    tileset = line;

    text.getline(line, headLineSize);
    const std::string levelMusic = line;
    if (levelMusic != music && playMusic != 0)
    {
        music = levelMusic;
        Core::getAudioDriver()->playMusic("music/" + music, 0.0f);
    }

    // Widths beyond the grid still count their characters in rows of the file's width.
    const uint16_t fileWidth = static_cast<uint16_t>(std::min(width, 65535));
    const uint16_t fileHeight = static_cast<uint16_t>(std::min(height, 65535));
    CellPos size{fileWidth, fileHeight};
    tilemap->create(size);

    enemies.clear();
    deleteEntities();

    readGrid(fileWidth, fileHeight);
    readMessages();
    text.str("");

    Core::log("Level: " + fileName + " loaded");

    for (Entity* entity : entities)
    {
        entity->addToCells();
    }

    const Vec2 playerPosition = Core::getGame()->getPlayer()->getPosition();
    Vec2 corner{std::trunc(playerPosition.x - view->getWidth() / 2),
                std::trunc(playerPosition.y - view->getHeight() / 2)};
    view->setPosition(corner);
}

void Level::readGrid(uint16_t width, uint16_t height)
{
    Entity_Player* player = Core::getGame()->getPlayer();
    uint16_t column = 0;
    uint16_t row = 0;
    while (text.good())
    {
        const int c = text.get();
        if (c == std::char_traits<char>::eof())
        {
            break;
        }

        const CellPos cell{column, row};
        switch (c)
        {
        case '.':
            tilemap->setTile(cell, new Tile_Empty());
            break;
        case '+':
            tilemap->setTile(cell, new Tile_Sand());
            break;
        case '#':
            tilemap->setTile(cell, new Tile_Wall());
            break;
        case 'O':
            tilemap->setTile(cell, new Tile_RoundWall());
            break;
        case 'x':
            tilemap->setTile(cell, new Tile_Exit());
            break;
        case '1':
        case '2':
        {
            Tile_Door* door = new Tile_Door();
            door->setColor(c == '1' ? 0 : 1);
            tilemap->setTile(cell, door);
            break;
        }
        case 's':
            tilemap->setTile(cell, new Tile());
            break;
        case 'r':
            placeEntity(new Entity_Rock(), column, row);
            break;
        case 'Z':
            placeEntity(new Entity_Box(), column, row);
            break;
        case 'b':
            placeEntity(new Entity_Diamond(), column, row);
            ++diamondCount;
            break;
        case 'B':
            placeEntity(new Entity_Apple(), column, row);
            break;
        case '*':
            placeEntity(new Entity_Bomb(), column, row);
            break;
        case '"':
        case '\'':
        {
            Entity_Key* key = new Entity_Key();
            key->setColor(c == '"' ? 0 : 1);
            placeEntity(key, column, row);
            break;
        }
        case 'e':
            placeEntity(new Entity_Enemy1(), column, row);
            break;
        case 'E':
            placeEntity(new Entity_Enemy2(), column, row);
            break;
        case 'p':
            player->setStartPosition(Vec2{static_cast<float>(column * tileWidth + tileWidth / 2),
                                          static_cast<float>(row * tileHeight + tileHeight / 2)});
            player->startBlink();
            break;
        default:
            continue;
        }

        ++column;
        if (column == width)
        {
            column = 0;
            ++row;
            if (row == height)
            {
                break;
            }
        }
    }
}

// Things beyond a grid capped at 128 keep their positions; they are never listed in a tile.
void Level::placeEntity(Entity* entity, uint16_t column, uint16_t row)
{
    entity->setPosition(Vec2{static_cast<float>(column * tileWidth + tileWidth / 2),
                             static_cast<float>(row * tileHeight + tileHeight / 2)});
    addEntity(entity);
}

void Level::readMessages()
{
    text.get();
    if (!text.good())
    {
        return;
    }

    char line[textLineSize];
    text.getline(line, textLineSize);
    int count = 0;
    std::sscanf(line, "%d", &count);
    if (count <= 0 || !text.good())
    {
        return;
    }

    int x = 0;
    int y = 0;
    int lines = 0;
    for (int block = 0; block < count && text.good(); ++block)
    {
        text.getline(line, textLineSize);
        std::sscanf(line, "%d %d %d", &x, &y, &lines);
        for (int i = 0; i < lines && text.good(); ++i)
        {
            text.getline(line, textLineSize);
            // Nothing read means the file ended; a cut overlong line is kept.
            if (text.gcount() > 0)
            {
                tilemap->addMessage(CellPos{static_cast<uint16_t>(x), static_cast<uint16_t>(y)}, line);
            }
        }
    }
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
