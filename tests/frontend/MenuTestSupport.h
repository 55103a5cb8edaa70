#pragma once

#include "Core.h"
#include "Game.h"
#include "Harness.h"
#include "Menu.h"
#include "MenuItem.h"

#include <map>
#include <string>

// A small working folder for menu tests: five levels, one in no difficulty folder.
//   0 tutorial, 1 easy, 2 none, 3 tutorial (its path names easy too), 4 hard.
inline std::map<std::string, std::string> menuLevelFiles()
{
    const std::string level = "5 3\ntileset1\nlevel1.ogg\n#####\n#p.x#\n#####\n0\n";
    return {
        {"levels.ini",
         "levels/tutorial/first_steps.txt\nlevels/easy/rock_garden.txt\nlevels/misc/stray_file.txt\n"
         "levels/tutorial/easy/mixed_path.txt\nlevels/hard/deep_down.txt\n"},
        {"levels/tutorial/first_steps.txt", level},
        {"levels/easy/rock_garden.txt", level},
        {"levels/misc/stray_file.txt", level},
        {"levels/tutorial/easy/mixed_path.txt", level},
        {"levels/hard/deep_down.txt", level},
        {"credits.txt", "QUARROW\n\nmade by\nthe quarrow team\n"},
    };
}

inline Menu* menu()
{
    return Core::getGame()->getMenu();
}

inline MenuItem* page()
{
    return menu()->getCurrentPage();
}

inline std::string pageId()
{
    return page()->getId();
}

inline std::string selectedId()
{
    MenuItem* child = page()->getSelectedChild();
    return child ? child->getId() : "";
}

// One real key press, seen by the next step.
inline void key(Harness& h, SDLKey k, int times = 1)
{
    for (int i = 0; i < times; ++i)
    {
        h.press(k);
        h.step();
    }
}

// One step per character: the name entry takes the last key of a step.
inline void typeText(Harness& h, const std::string& text)
{
    for (char c : text)
        key(h, static_cast<SDLKey>(c));
}

inline int countOf(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

// From the main page at start-up: a new profile of that name, ending on the levels page.
inline void createProfile(Harness& h, const std::string& name)
{
    key(h, SDLK_RETURN); // "start new game"
    typeText(h, name);
    key(h, SDLK_RETURN); // Enter on the name entry acts as "ok"
}
