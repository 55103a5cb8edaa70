// Plays the stress levels (and the shipped one) for a number of steps without keys and prints one
// line per step: the things left and a digest of where every thing stands and what it does. Two
// builds that print the same lines played the same game; run it before and after a change made
// for speed (bench_trace > before.txt; rebuild; bench_trace | diff before.txt -).
#include "BenchSupport.h"
#include "Core.h"
#include "Entity.h"
#include "Entity_Bomb.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "Tile.h"
#include "Tilemap.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace
{
struct Digest
{
    uint64_t value = 1469598103934665603ull;
    void add(const void* bytes, std::size_t size)
    {
        const unsigned char* p = static_cast<const unsigned char*>(bytes);
        for (std::size_t i = 0; i < size; ++i)
            value = (value ^ p[i]) * 1099511628211ull;
    }
    template <typename T> void add(const T& v) { add(&v, sizeof v); }
};

void trace(const char* file, bool lightBombs, int steps)
{
    Game* game = Core::getGame();
    Level* level = game->getLevel();
    level->load(0, file, false);
    if (lightBombs)
    {
        for (Entity* entity = level->firstEntity(); entity != nullptr; entity = level->nextEntity())
        {
            if (entity->isBomb())
                static_cast<Entity_Bomb*>(entity)->arm();
        }
    }
    game->setState(2, false);
    Tilemap* tilemap = level->getTilemap();
    for (int step = 0; step < steps; ++step)
    {
        level->update();
        Digest digest;
        std::unordered_map<const Entity*, int> places;
        for (Entity* entity = level->firstEntity(); entity != nullptr; entity = level->nextEntity())
            places.emplace(entity, static_cast<int>(places.size()));
        for (Entity* entity = level->firstEntity(); entity != nullptr; entity = level->nextEntity())
        {
            const Vec2 at = entity->getPosition();
            digest.add(at.x);
            digest.add(at.y);
            digest.add(entity->isMoving());
            digest.add(entity->getDirection().dx);
            digest.add(entity->getDirection().dy);
        }
        for (uint16_t y = 0; y < tilemap->getHeight(); ++y)
        {
            for (uint16_t x = 0; x < tilemap->getWidth(); ++x)
            {
                Tile* tile = tilemap->getTile(CellPos{x, y});
                digest.add(tile->isSand());
                digest.add(tile->isSolid());
                digest.add(tile->hasEntities());
                // The order of a cell's list decides which thing a walk of it meets first.
                for (Entity* entity = tile->firstEntity(); entity != nullptr; entity = tile->nextEntity())
                {
                    const auto found = places.find(entity);
                    digest.add(found == places.end() ? -1 : found->second);
                }
            }
        }
        Entity_Player* player = game->getPlayer();
        std::printf("%s %d things=%zu score=%u dead=%d digest=%016llx\n", file, step, level->getEntityCount(),
                    static_cast<unsigned>(player->getScore()), player->isDead() ? 1 : 0,
                    static_cast<unsigned long long>(digest.value));
    }
}
} // namespace

int main(int argc, char** argv)
{
    const int steps = argc > 1 ? std::atoi(argv[1]) : 600;
    Harness* harness = new Harness(makeBenchWorkDir(false));
    if (harness->initResult() != 0)
        return 1;
    trace(stressFallFile, true, steps);
    trace(stressRestFile, true, steps);
    trace(shippedBenchLevel().c_str(), false, steps);
    delete harness;
    return 0;
}
