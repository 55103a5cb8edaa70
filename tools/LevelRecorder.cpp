// Records the solution of a level by playing it: a hand-written move list is carried out step by
// step in the real game (stepped, without drawing), and the keys held in every step are written
// as a solution file that the replay test plays back.
//
//   quarrow_record_level levels/easy/some_level.txt [moves file] [solution file]
//
// The level is read from the source tree's data/ folder; the move list defaults to
// tests/play/solutions/<name>.moves and the solution to tests/play/solutions/<name>.txt.
// Run it under an X server (xvfb-run -a). It stops with a message when the player dies, cannot
// make a move, or the list ends before the level is completed; nothing is written then.
//
// Move list words ('#' starts a comment up to the line end):
//   R L U D        walk one cell (R5: five cells); waits up to 300 steps for the way to clear
//   cR cL cU cD    Ctrl with an arrow: dig the cell without moving, or push a rock or box
//   aR aL          Alt with an arrow: drop a lit bomb there
//   w<n>           n steps with nothing held
//   k<n>           check that n ants have been crushed so far
//   all            walk to the nearest diamond until none is left
//   exit           walk to the exit (taking near apples first when energy is low)
//   key            walk to the nearest lying key
//   feed           walk to apples close by while the energy is below 120
//   h<n>           "all" also walks to apples while the energy is below n (80 unless set)
//   ?              print the grid as it is now (for writing the list)
//   s              nothing held until no rock, box or bonus moves any more
//   e<x>,<y>       nothing held until an ant walks into cell (x, y) (at most 3000 steps)
//   g<x>,<y>       walk to cell (x, y) along a shortest way through sand, empty cells, open
//                  doors and lying bonuses (planned again after every cell)
// A cell's text is closed with Enter as soon as it shows.
#include "Core.h"
#include "Entity.h"
#include "Entity_Bonus.h"
#include "Entity_Enemy.h"
#include "Entity_Faller.h"
#include "Entity_Player.h"
#include "Game.h"
#include "Harness.h"
#include "Level.h"
#include "LevelSetTestReplay.h"
#include "LevelStat.h"
#include "TestEnv.h"
#include "Tile.h"
#include "Tile_Door.h"
#include "Tile_Exit.h"
#include "Tilemap.h"

#include <SDL/SDL.h>
#include <cctype>
#include <cstdio>
#include <deque>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

struct Failure
{
    std::string what;
};

class Recorder
{
  public:
    std::vector<levelset::Run> runs;
    long steps = 0;
    bool avoidUnderFallers = true;
    uint16_t hungry = 80;
    bool feeding = false;
    CellPos goalCell{0, 0};

    Game* game() const { return Core::getGame(); }
    Entity_Player* player() const { return game()->getPlayer(); }
    Tilemap* map() const { return game()->getLevel()->getTilemap(); }
    bool done() const { return game()->isLevelCompleted(); }

    std::string where() const
    {
        const CellPos c = player()->getCell();
        std::ostringstream s;
        s << "step " << steps << ", player at cell " << c.x << "," << c.y << ", energy "
          << player()->getApples() << ", keys " << player()->getKeys(0) << "/" << player()->getKeys(1)
          << ", bombs " << player()->getBombs();
        return s.str();
    }

    void step(const levelset::Keys& keys)
    {
        if (done())
        {
            return;
        }
        levelset::playStep(keys);
        levelset::appendStep(runs, keys);
        ++steps;
        if (!Core::isRunning())
        {
            throw Failure{"the game stopped (see the log) at " + where()};
        }
        if (player()->isDead())
        {
            throw Failure{"the player died at " + where()};
        }
        while (game()->getState() == 6)
        {
            levelset::Keys enter;
            enter.enter = true;
            levelset::playStep(enter);
            levelset::appendStep(runs, enter);
            ++steps;
        }
    }

    static levelset::Keys keysFor(char direction, char modifier)
    {
        levelset::Keys k;
        k.right = direction == 'R';
        k.left = direction == 'L';
        k.down = direction == 'D';
        k.up = direction == 'U';
        k.ctrl = modifier == 'c';
        k.alt = modifier == 'a';
        return k;
    }

    static CellPos offset(const CellPos& c, char direction)
    {
        CellPos n = c;
        n.x = static_cast<uint16_t>(n.x + (direction == 'R') - (direction == 'L'));
        n.y = static_cast<uint16_t>(n.y + (direction == 'D') - (direction == 'U'));
        return n;
    }

    // One move; returns once the player stands still again.
    void move(char direction, char modifier)
    {
        const levelset::Keys keys = keysFor(direction, modifier);
        const CellPos target = offset(player()->getCell(), direction);
        const Tile* before = map()->getTile(target);
        const uint16_t bombs = player()->getBombs();
        bool happened = false;
        for (int wait = 0; wait < 300 && !done(); ++wait)
        {
            step(keys);
            if (player()->isMoving() || map()->getTile(target) != before ||
                (modifier == 'a' && player()->getBombs() < bombs))
            {
                happened = true;
                break;
            }
        }
        if (done())
        {
            return;
        }
        if (!happened)
        {
            throw Failure{std::string("no way ") + direction + " at " + where()};
        }
        while (player()->isMoving() && !done())
        {
            step(keys);
        }
    }

    void waitSteps(int n)
    {
        for (int i = 0; i < n && !done(); ++i)
        {
            step(levelset::Keys());
        }
    }

    bool somethingFalls()
    {
        Level* level = game()->getLevel();
        for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
        {
            if (e->isFaller() && e->isMoving())
            {
                return true;
            }
        }
        return false;
    }

    void settle()
    {
        int still = 0;
        for (int i = 0; i < 2000 && still < 2 && !done(); ++i)
        {
            step(levelset::Keys());
            still = somethingFalls() ? 0 : still + 1;
        }
    }

    void show()
    {
        std::cerr << where() << "\n";
        for (uint16_t y = 0; y < map()->getHeight(); ++y)
        {
            for (uint16_t x = 0; x < map()->getWidth(); ++x)
            {
                Tile* t = map()->getTile(CellPos{x, y});
                char c = t->isSand()    ? '+'
                         : t->isDoor()  ? (t->isOpen() ? '_' : 'D')
                         : t->isSolid() ? '#'
                                        : '.';
                for (Entity* e = t->firstEntity(); e != nullptr; e = t->nextEntity())
                {
                    c = e == player()  ? 'p'
                        : e->isEnemy() ? 'e'
                        : e->isRock()  ? 'r'
                        : e->isBox()   ? 'Z'
                        : e->isBomb()  ? '*'
                                       : 'b';
                }
                std::cerr << c;
            }
            std::cerr << "\n";
        }
    }

    bool antAt(int x, int y)
    {
        Level* level = game()->getLevel();
        for (Entity* e = level->firstEnemy(); e != nullptr; e = level->nextEnemy())
        {
            const CellPos c = e->getCell();
            if (c.x == x && c.y == y && !static_cast<Entity_Enemy*>(e)->isDead())
            {
                return true;
            }
        }
        return false;
    }

    void waitForAnt(int x, int y)
    {
        for (int i = 0; i < 3000 && !done(); ++i)
        {
            if (antAt(x, y))
            {
                return;
            }
            step(levelset::Keys());
        }
        throw Failure{"no ant came at " + where()};
    }

    static bool isFallerThing(Entity* e) { return e->isFaller() && !e->isArmed(); }

    // A faller resting on the cell above, or one falling within two cells above.
    bool fallerAbove(const CellPos& c, bool movingOnly)
    {
        for (int up = 1; up <= 2; ++up)
        {
            if (c.y < up)
            {
                return false;
            }
            Tile* t = map()->getTile(CellPos{c.x, static_cast<uint16_t>(c.y - up)});
            for (Entity* e = t->firstEntity(); e != nullptr; e = t->nextEntity())
            {
                if (isFallerThing(e) && (e->isMoving() || (!movingOnly && up == 1)))
                {
                    return true;
                }
            }
        }
        return false;
    }

    bool passable(const CellPos& from, const CellPos& c, char direction)
    {
        if (!map()->isInside(c))
        {
            return false;
        }
        Tile* t = map()->getTile(c);
        if (t->isSolid() && !t->isOpen())
        {
            Tile_Door* door = dynamic_cast<Tile_Door*>(t);
            if (door == nullptr || player()->getKeys(door->getColor()) == 0)
            {
                return false;
            }
        }
        // Passing under a resting faller sets it off; only when there is no other way.
        if (avoidUnderFallers && fallerAbove(c, false) && !(c.x == goalCell.x && c.y == goalCell.y))
        {
            return false;
        }
        for (Entity* e = t->firstEntity(); e != nullptr; e = t->nextEntity())
        {
            if (e == player())
            {
                continue;
            }
            if (!e->isBonus() || e->isMoving())
            {
                return false;
            }
        }
        // Leaving a cell downwards with a faller on top of it makes the faller follow and crush.
        if (direction == 'D' && fallerAbove(from, false))
        {
            return false;
        }
        return !fallerAbove(c, true);
    }

    // The first direction of a shortest way to the goal, 0 when there is none.
    char firstStep(const CellPos& goal)
    {
        goalCell = goal;
        avoidUnderFallers = true;
        char d = searchStep(goal);
        if (d == 0)
        {
            avoidUnderFallers = false;
            d = searchStep(goal);
            avoidUnderFallers = true;
        }
        return d;
    }

    char searchStep(const CellPos& goal)
    {
        const CellPos start = player()->getCell();
        const int w = map()->getWidth();
        const int h = map()->getHeight();
        std::vector<char> from(static_cast<size_t>(w) * h, 0);
        std::deque<CellPos> queue;
        queue.push_back(start);
        from[start.y * w + start.x] = 'S';
        const char dirs[] = {'R', 'L', 'D', 'U'};
        while (!queue.empty())
        {
            const CellPos c = queue.front();
            queue.pop_front();
            if (c.x == goal.x && c.y == goal.y)
            {
                break;
            }
            for (char d : dirs)
            {
                const CellPos n = offset(c, d);
                if (map()->isInside(n) && from[n.y * w + n.x] == 0 && passable(c, n, d))
                {
                    from[n.y * w + n.x] = d;
                    queue.push_back(n);
                }
            }
        }
        if (from[goal.y * w + goal.x] == 0)
        {
            return 0;
        }
        CellPos c = goal;
        char last = 0;
        while (!(c.x == start.x && c.y == start.y))
        {
            last = from[c.y * w + c.x];
            const char back = last == 'R' ? 'L' : last == 'L' ? 'R' : last == 'D' ? 'U' : 'D';
            c = offset(c, back);
        }
        return last;
    }

    // Distances from the player's cell along the ways goTo may take; -1 where it cannot go.
    std::vector<int> distances(bool avoid = true)
    {
        avoidUnderFallers = avoid;
        goalCell = CellPos{65535, 65535};
        const CellPos start = player()->getCell();
        const int w = map()->getWidth();
        const int h = map()->getHeight();
        std::vector<int> dist(static_cast<size_t>(w) * h, -1);
        std::deque<CellPos> queue;
        queue.push_back(start);
        dist[start.y * w + start.x] = 0;
        const char dirs[] = {'R', 'L', 'D', 'U'};
        while (!queue.empty())
        {
            const CellPos c = queue.front();
            queue.pop_front();
            for (char d : dirs)
            {
                const CellPos n = offset(c, d);
                if (map()->isInside(n) && dist[n.y * w + n.x] < 0 && passable(c, n, d))
                {
                    dist[n.y * w + n.x] = dist[c.y * w + c.x] + 1;
                    queue.push_back(n);
                }
            }
        }
        avoidUnderFallers = true;
        return dist;
    }

    bool anyDiamondReachable(const std::vector<int>& dist)
    {
        Level* level = game()->getLevel();
        for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
        {
            const CellPos c = e->getCell();
            if (e->isBonus() && static_cast<Entity_Bonus*>(e)->isDiamond() && map()->isInside(c) &&
                dist[c.y * map()->getWidth() + c.x] >= 0)
            {
                return true;
            }
        }
        return false;
    }

    // Walks to the nearest diamond again and again until none is left.
    void collectAll()
    {
        for (int round = 0; round < 1000 && !done(); ++round)
        {
            std::vector<int> dist = distances();
            const int w = map()->getWidth();
            if (!anyDiamondReachable(dist))
            {
                dist = distances(false);
            }
            Level* level = game()->getLevel();
            int best = -1;
            CellPos goal{0, 0};
            bool any = false;
            for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
            {
                Entity_Bonus* bonus = e->isBonus() ? static_cast<Entity_Bonus*>(e) : nullptr;
                if (bonus == nullptr)
                {
                    continue;
                }
                // Apples too, once the energy runs low, as a player would.
                const bool apple = bonus->getAppleValue() > 0 && player()->getApples() < hungry;
                if (!bonus->isDiamond() && !apple)
                {
                    continue;
                }
                any = any || bonus->isDiamond();
                const CellPos c = e->getCell();
                if (!map()->isInside(c))
                {
                    continue;
                }
                const int d = dist[c.y * w + c.x];
                if (d >= 0 && (best < 0 || d < best))
                {
                    best = d;
                    goal = c;
                }
            }
            if (!any)
            {
                return;
            }
            if (best < 0)
            {
                waitSteps(20);
                if (distances(false) == dist)
                {
                    std::ostringstream left;
                    for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
                    {
                        if (e->isBonus() && static_cast<Entity_Bonus*>(e)->isDiamond())
                        {
                            left << " " << e->getCell().x << "," << e->getCell().y;
                        }
                    }
                    throw Failure{"no way to the diamonds left (" + left.str() + " ) at " + where()};
                }
                continue;
            }
            goTo(goal.x, goal.y);
        }
    }

    // Walks to the nearest lying key.
    void fetchKey()
    {
        for (int wait = 0; wait < 200 && !done(); ++wait)
        {
            const std::vector<int> dist = distances(false);
            const int w = map()->getWidth();
            int best = -1;
            CellPos goal{0, 0};
            Level* level = game()->getLevel();
            for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
            {
                const CellPos c = e->getCell();
                if (e->isKey() && !e->isMoving() && map()->isInside(c) && dist[c.y * w + c.x] >= 0 &&
                    (best < 0 || dist[c.y * w + c.x] < best))
                {
                    best = dist[c.y * w + c.x];
                    goal = c;
                }
            }
            if (best >= 0)
            {
                goTo(goal.x, goal.y);
                return;
            }
            step(levelset::Keys());
        }
        throw Failure{"no key to fetch at " + where()};
    }

    void goToExit()
    {
        feed();
        goToExitTile();
    }

    // Tops the energy up from apples close by before a long way.
    void feed(int radius = 30)
    {
        for (int round = 0; round < 20 && player()->getApples() < 120; ++round)
        {
            const std::vector<int> dist = distances(false);
            const int w = map()->getWidth();
            int best = -1;
            CellPos goal{0, 0};
            Level* level = game()->getLevel();
            for (Entity* e = level->firstEntity(); e != nullptr; e = level->nextEntity())
            {
                const CellPos c = e->getCell();
                if (e->isBonus() && static_cast<Entity_Bonus*>(e)->getAppleValue() > 0 &&
                    map()->isInside(c) && dist[c.y * w + c.x] >= 0 &&
                    (best < 0 || dist[c.y * w + c.x] < best))
                {
                    best = dist[c.y * w + c.x];
                    goal = c;
                }
            }
            if (best < 0 || best > radius)
            {
                break;
            }
            goTo(goal.x, goal.y);
        }
    }

    void goToExitTile()
    {
        for (uint16_t y = 0; y < map()->getHeight(); ++y)
        {
            for (uint16_t x = 0; x < map()->getWidth(); ++x)
            {
                if (dynamic_cast<Tile_Exit*>(map()->getTile(CellPos{x, y})) != nullptr)
                {
                    goTo(x, y);
                    return;
                }
            }
        }
        throw Failure{"no exit"};
    }

    void goTo(int x, int y)
    {
        const CellPos goal{static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
        while (!done())
        {
            // Running low on a long way: a detour to an apple close by.
            if (!feeding && player()->getApples() < 50)
            {
                feeding = true;
                feed(25);
                feeding = false;
            }
            const CellPos c = player()->getCell();
            if (c.x == goal.x && c.y == goal.y)
            {
                return;
            }
            char d = firstStep(goal);
            // Something may still be falling across the way: wait a little for it.
            for (int wait = 0; d == 0 && wait < 100 && !done(); ++wait)
            {
                step(levelset::Keys());
                d = firstStep(goal);
            }
            if (d == 0)
            {
                std::ostringstream s;
                s << "no way to " << x << "," << y << " at " << where();
                throw Failure{s.str()};
            }
            move(d, 0);
        }
    }

    void run(const std::string& moves)
    {
        std::istringstream lines(moves);
        std::string line;
        int lineNumber = 0;
        while (std::getline(lines, line) && !done())
        {
            ++lineNumber;
            const size_t hash = line.find('#');
            if (hash != std::string::npos)
            {
                line.erase(hash);
            }
            std::istringstream words(line);
            std::string word;
            while (words >> word && !done())
            {
                try
                {
                    word1(word);
                }
                catch (Failure& f)
                {
                    f.what = "line " + std::to_string(lineNumber) + ", " + word + ": " + f.what;
                    throw;
                }
            }
        }
    }

    void word1(const std::string& word)
    {
        const char first = word[0];
        if (word == "all")
        {
            collectAll();
        }
        else if (word == "key")
        {
            fetchKey();
        }
        else if (word == "feed")
        {
            feed();
        }
        else if (first == 'h' && word.size() > 1 && std::isdigit(static_cast<unsigned char>(word[1])))
        {
            hungry = static_cast<uint16_t>(std::stoi(word.substr(1)));
        }
        else if (word == "exit")
        {
            goToExit();
        }
        else if (first == 'R' || first == 'L' || first == 'U' || first == 'D')
        {
            const int count = word.size() > 1 ? std::stoi(word.substr(1)) : 1;
            for (int i = 0; i < count && !done(); ++i)
            {
                move(first, 0);
            }
        }
        else if ((first == 'c' || first == 'a') && word.size() >= 2)
        {
            const int count = word.size() > 2 ? std::stoi(word.substr(2)) : 1;
            for (int i = 0; i < count && !done(); ++i)
            {
                move(word[1], first);
            }
        }
        else if (first == 'w')
        {
            waitSteps(std::stoi(word.substr(1)));
        }
        else if (first == 'k')
        {
            const uint32_t kills = static_cast<uint32_t>(std::stoi(word.substr(1)));
            if (player()->getEnemiesKilled() < kills)
            {
                throw Failure{"fewer ants crushed than " + word.substr(1) + " at " + where()};
            }
        }
        else if (word == "?")
        {
            show();
        }
        else if (word == "s")
        {
            settle();
        }
        else if (first == 'e')
        {
            int x = 0;
            int y = 0;
            if (std::sscanf(word.c_str() + 1, "%d,%d", &x, &y) != 2)
            {
                throw Failure{"bad ant cell"};
            }
            waitForAnt(x, y);
        }
        else if (first == 'g')
        {
            int x = 0;
            int y = 0;
            if (std::sscanf(word.c_str() + 1, "%d,%d", &x, &y) != 2)
            {
                throw Failure{"bad goto"};
            }
            goTo(x, y);
        }
        else
        {
            throw Failure{"unknown word"};
        }
    }
};

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::cerr << "usage: quarrow_record_level levels/<difficulty>/<name>.txt [moves] [solution]\n";
        return 2;
    }
    const std::string levelPath = argv[1];
    const std::string name = baseName(levelPath);
    const std::string solutions = std::string(QUARROW_TEST_DIR) + "/play/solutions/";
    const std::string movesPath = argc > 2 ? argv[2] : solutions + name + ".moves";
    const std::string outPath = argc > 3 ? argv[3] : solutions + name + ".txt";

    const std::string level = readFile(std::string(QUARROW_SOURCE_DIR) + "/data/" + levelPath);
    const std::string moves = readFile(movesPath);
    if (level.empty() || moves.empty())
    {
        std::cerr << "cannot read " << levelPath << " or " << movesPath << "\n";
        return 2;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    int result = 1;
    {
        Harness harness(makeWorkDir({{"levels.ini", levelPath + "\n"}, {levelPath, level}}));
        if (harness.initResult() != 0)
        {
            std::cerr << "the game did not start\n";
            return 1;
        }
        Core::getGame()->initLevel(0);
        Core::getGame()->setState(2, true);
        Recorder recorder;
        try
        {
            // Nobody holds a key in the very first step, so a text on the start cell shows.
            recorder.waitSteps(1);
            recorder.run(moves);
            if (!recorder.done())
            {
                recorder.settle();
            }
            if (!recorder.done())
            {
                throw Failure{"the moves end before the exit, " + recorder.where()};
            }
            Entity_Player* p = recorder.player();
            const long total = Core::getGame()->getLevelStat()->getLevelTotal();
            std::ostringstream out;
            out << "# " << levelPath << ": recorded by quarrow_record_level from " << name << ".moves\n";
            out << "# steps: " << recorder.steps << ", diamonds: " << p->getDiamonds()
                << ", score: " << p->getScore() << ", energy left: " << p->getApples() << "\n";
            out << "# total: " << total << "\n";
            out << levelset::formatRuns(recorder.runs);
            writeFile(outPath, out.str());
            std::cout << levelPath << ": completed in " << recorder.steps << " steps, level total " << total
                      << ", energy left " << p->getApples() << " -> " << outPath << "\n";
            result = 0;
        }
        catch (const Failure& f)
        {
            std::cerr << levelPath << ": " << f.what << "\n";
        }
    }
    return result;
}
