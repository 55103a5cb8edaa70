#pragma once

#include <cstdint>
#include <list>
#include <string>

class Device;
class Entity;
class LevelText;
class Particle;
class ParticleManager;
class Tilemap;
class VideoDriver;
class View;
struct LevelFile;

// The level being played: its grid, its camera, its particles and every thing on it but the
// player. One object for the whole run; each load replaces what it holds.
class Level
{
  public:
    Level();
    ~Level();

    // Reads the level file and puts the player on its start. Passes on the reader's Exception*;
    // a file that fails to load changes nothing of the level or the player.
    void load(uint32_t index, const std::string& file, bool playMusic);
    // One play step: the level's keys, the player, the things from the bottom row up, the grid,
    // the particles, then the things removed during the step.
    void update();
    void draw();

    // The level owns entity from now on.
    void addEntity(Entity* entity);
    // Deleted at the end of the current update; the player and repeats are ignored.
    void scheduleRemoval(Entity* entity);
    void deleteEntities();
    void addParticle(Particle* particle);

    // One shared cursor each: walks must not be nested.
    Entity* firstEntity();
    Entity* nextEntity();
    Entity* firstEnemy();
    Entity* nextEnemy();

    uint32_t getCurrentLevel() const { return index; }
    View* getView() const { return view; }
    Tilemap* getTilemap() const { return tilemap; }
    ParticleManager* getParticles() const { return particles; }
    bool isLoaded() const { return loaded != 0; }
    uint16_t getDiamondCount() const { return diamondCount; }
    std::string getName() const { return name; }
    std::string getTileset() const { return tileset; }
    std::string getMusic() const { return music; }
    std::size_t getEntityCount() const { return entities.size(); }
    void setMusic(const std::string& value) { music = value; }
    void setPlayerLight(bool value) { playerLight = value; }

  private:
    // The reader: the whole file into `read`, before anything of the level changes. Raises the
    // reader's Exception* for a file that cannot be opened or has no size.
    static void loadFile(const std::string& file, LevelFile& read);
    static void readGrid(LevelText& text, LevelFile& read);
    static void readMessages(LevelText& text, LevelFile& read);
    // Replaces the grid, the things and the texts with what was read.
    void build(const LevelFile& read);
    void placeEntity(Entity* entity, uint16_t column, uint16_t row);

    Device* device;
    VideoDriver* videoDriver;
    View* view;
    Tilemap* tilemap;
    std::list<Entity*> entities;
    std::list<Entity*>::iterator entityCursor;
    std::list<Entity*> pendingRemoval;
    std::list<Entity*> enemies;
    std::list<Entity*>::iterator enemyCursor;
    std::string fileName;
    uint16_t diamondCount;
    ParticleManager* particles;
    std::string name;
    uint8_t loaded;
    std::string tileset;
    std::string music;
    uint8_t playMusic;
    uint32_t index;
    uint8_t playerLight;

    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;
};
