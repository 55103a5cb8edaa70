#pragma once
// Recorded solutions of the shipped levels: the held keys of every step, written compactly, and
// one step of the real game without drawing. Shared by the replay test and the recorder tool.
//
// A solution file holds comment lines starting with '#' (among them "# total: <n>", the level
// total that the statistics screen counted when the recording reached the exit) and tokens
// separated by white space. Each token is the held keys followed by a count of steps:
// R L U D arrows, C Ctrl, A Alt, '.' nothing held; "E" alone is one step with nothing held in
// which Enter is pressed (closing a cell's text). Example: "R13 CL1 .5 E R26".

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Game.h"

#include <SDL/SDL.h>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace levelset
{

struct Keys
{
    bool right = false;
    bool left = false;
    bool down = false;
    bool up = false;
    bool ctrl = false;
    bool alt = false;
    bool enter = false;

    bool operator==(const Keys& o) const
    {
        return right == o.right && left == o.left && down == o.down && up == o.up && ctrl == o.ctrl &&
               alt == o.alt && enter == o.enter;
    }

    std::string text() const
    {
        if (enter)
        {
            return "E";
        }
        std::string t;
        t += ctrl ? "C" : "";
        t += alt ? "A" : "";
        t += right ? "R" : "";
        t += left ? "L" : "";
        t += down ? "D" : "";
        t += up ? "U" : "";
        return t.empty() ? "." : t;
    }
};

struct Run
{
    Keys keys;
    int steps;
};

struct Solution
{
    std::vector<Run> runs;
    long total = -1; // from "# total: <n>"
    std::string error;
};

inline Solution parseSolution(const std::string& text)
{
    Solution solution;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
    {
        if (!line.empty() && line[0] == '#')
        {
            const std::string tag = "# total:";
            if (line.compare(0, tag.size(), tag) == 0)
            {
                solution.total = std::strtol(line.c_str() + tag.size(), nullptr, 10);
            }
            continue;
        }
        std::istringstream words(line);
        std::string word;
        while (words >> word)
        {
            Run run;
            size_t i = 0;
            for (; i < word.size() && !std::isdigit(static_cast<unsigned char>(word[i])); ++i)
            {
                switch (word[i])
                {
                case 'R':
                    run.keys.right = true;
                    break;
                case 'L':
                    run.keys.left = true;
                    break;
                case 'D':
                    run.keys.down = true;
                    break;
                case 'U':
                    run.keys.up = true;
                    break;
                case 'C':
                    run.keys.ctrl = true;
                    break;
                case 'A':
                    run.keys.alt = true;
                    break;
                case 'E':
                    run.keys.enter = true;
                    break;
                case '.':
                    break;
                default:
                    solution.error = "unknown key in token " + word;
                    return solution;
                }
            }
            run.steps = i < word.size() ? std::atoi(word.c_str() + i) : 1;
            if (run.steps <= 0)
            {
                solution.error = "bad count in token " + word;
                return solution;
            }
            solution.runs.push_back(run);
        }
    }
    return solution;
}

// Appends one step to a run-length list.
inline void appendStep(std::vector<Run>& runs, const Keys& keys)
{
    if (!runs.empty() && runs.back().keys == keys && !keys.enter)
    {
        ++runs.back().steps;
        return;
    }
    runs.push_back(Run{keys, 1});
}

inline std::string formatRuns(const std::vector<Run>& runs)
{
    std::string out;
    int column = 0;
    for (const Run& run : runs)
    {
        std::string token = run.keys.text();
        if (!run.keys.enter)
        {
            token += std::to_string(run.steps);
        }
        if (column + token.size() + 1 > 100)
        {
            out += "\n";
            column = 0;
        }
        else if (column > 0)
        {
            out += " ";
            ++column;
        }
        out += token;
        column += static_cast<int>(token.size());
    }
    return out + "\n";
}

// One main-loop step of the real game with these keys held, without drawing: the sound update,
// the window's events (Enter arrives as a press), then the game controller's update. The held
// state is written after the events, so no window event can undo it.
inline void playStep(const Keys& keys)
{
    if (keys.enter)
    {
        SDL_Event event = {};
        event.type = SDL_KEYDOWN;
        event.key.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = SDLK_RETURN;
        event.key.keysym.unicode = SDLK_RETURN;
        SDL_PushEvent(&event);
    }
    Core::getAudioDriver()->update();
    Core::getDevice()->processEvents();
    Uint8* state = SDL_GetKeyState(nullptr);
    state[SDLK_RIGHT] = keys.right;
    state[SDLK_LEFT] = keys.left;
    state[SDLK_DOWN] = keys.down;
    state[SDLK_UP] = keys.up;
    state[SDLK_LCTRL] = keys.ctrl;
    state[SDLK_RCTRL] = 0;
    state[SDLK_LALT] = keys.alt;
    state[SDLK_RALT] = 0;
    int mods = KMOD_NONE;
    mods |= keys.ctrl ? KMOD_LCTRL : 0;
    mods |= keys.alt ? KMOD_LALT : 0;
    SDL_SetModState(static_cast<SDLMod>(mods));
    if (Core::isRunning())
    {
        Core::getGame()->update();
    }
}

} // namespace levelset
