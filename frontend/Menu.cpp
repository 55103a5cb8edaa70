#include "Menu.h"

#include "AudioDriver.h"
#include "Config.h"
#include "Core.h"
#include "Device.h"
#include "Entity_Player.h"
#include "Exception.h"
#include "Font.h"
#include "Game.h"
#include "Level.h"
#include "MenuItem.h"
#include "MenuItem_Input.h"
#include "MenuItem_Slider.h"
#include "Sound.h"
#include "Texture.h"
#include "UserManager.h"
#include "VideoDriver.h"

#include <cstdio>
#include <vector>

namespace
{
const int KEY_ENTER = 13;
const int KEY_ESCAPE = 27;
const int NOTICE_FRAMES = 290;
const char* VIDEO_NOTICE = "please restart game to change video settings";
const char* SAVE_FAILED_NOTICE = "can't save the profile";
const char* READ_FAILED_NOTICE = "can't read the profile";

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Is page somewhere below root?
bool isBelow(const MenuItem* page, const MenuItem* root)
{
    for (const MenuItem* node = page ? page->getParent() : nullptr; node; node = node->getParent())
        if (node == root)
            return true;
    return false;
}
} // namespace

Menu::Menu()
    : startPage(nullptr), nameInput(nullptr), nameExistsPage(nullptr), loadPage(nullptr), levelsPage(nullptr),
      currentPage(nullptr), optionsPage(nullptr), mainPage(nullptr), dialogPage(nullptr),
      highscoreEntry(nullptr), selectLevelEntry(nullptr), pendingAction(""), videoDriver(nullptr),
      font(nullptr), blackTexture(nullptr), panelTexture(nullptr), fade(0.0f), enterSound(nullptr),
      stepSound(nullptr), notice(""), noticeFrames(0)
{
    Core::log("Menu: init");
    videoDriver = Core::getDevice()->getVideoDriver();
    font = videoDriver->getFont("textures/font1.png");
    blackTexture = videoDriver->getTexture("textures/black.png", false);
    panelTexture = videoDriver->getTexture("textures/menu-bg.png", false);
    enterSound = Core::getAudioDriver()->getSound("sounds/menu_enter.wav");
    stepSound = Core::getAudioDriver()->getSound("sounds/menu_step.wav");

    buildMainPage();

    levelsPage = new MenuItem("levels", "select difficulty");
    buildLevelMenus();

    resetToMain(false);
    fade = 0.0f;
    notice = "";
    noticeFrames = 0;
}

Menu::~Menu()
{
    // The three pages without a parent are roots of their own.
    delete mainPage;
    delete dialogPage;
    delete nameExistsPage;
    delete levelsPage;
    Core::log("Menu: done");
}

void Menu::buildMainPage()
{
    mainPage = new MenuItem("main", "QUARROW 1.0");
    startPage = new MenuItem("start", "start new game");
    startPage->setTitle("enter your name");
    mainPage->addChild(startPage);
    selectLevelEntry = new MenuItem("select", "select level");
    selectLevelEntry->setDisabled(true);
    mainPage->addChild(selectLevelEntry);
    loadPage = new MenuItem("load", "load game");
    mainPage->addChild(loadPage);
    optionsPage = new MenuItem("options", "options");
    mainPage->addChild(optionsPage);
    highscoreEntry = new MenuItem("highscore", "highscore");
    mainPage->addChild(highscoreEntry);
    MenuItem* exitPage = new MenuItem("exit", "exit game");
    mainPage->addChild(exitPage);

    exitPage->addChild(new MenuItem("exit_yes", "exit to system"));
    exitPage->addChild(new MenuItem("exit_no", "cancel"));

    buildOptionsPage(optionsPage);

    dialogPage = new MenuItem("dialog", "");
    dialogPage->addChild(new MenuItem("dialog_yes", "yes"));
    dialogPage->addChild(new MenuItem("dialog_no", "no"));

    nameInput = new MenuItem_Input("start_name", "");
    startPage->addChild(nameInput);
    addSeparator(startPage, "start_sep");
    startPage->addChild(new MenuItem("start_ok", "ok"));
    startPage->addChild(new MenuItem("start_back", "back"));

    nameExistsPage = new MenuItem("name_exists", "name exists");
    nameExistsPage->addChild(new MenuItem("name_exists_overwrite", "overwrite"));
    nameExistsPage->addChild(new MenuItem("name_exists_cancel", "cancel"));

    buildLoadMenu();
}

void Menu::buildOptionsPage(MenuItem* options)
{
    Config* config = Core::getConfig();

    MenuItem* videoPage = new MenuItem("options_video", "video resolution");
    options->addChild(videoPage);
    options->addChild(new MenuItem("options_full", config->get("screen_full", 1) != 0 ? "fullscreen: yes"
                                                                                      : "fullscreen: no"));
    options->addChild(new MenuItem(
        "options_dash", config->get("dash_with_control", 1) != 0 ? "dash: ctrl key" : "dash: no key"));
    MenuItem_Slider* sound = new MenuItem_Slider("options_sound", "sound");
    sound->setValue(config->get("sound_volume", 0));
    options->addChild(sound);
    MenuItem_Slider* music = new MenuItem_Slider("options_music", "music");
    music->setValue(config->get("music_volume", 0));
    options->addChild(music);
    options->addChild(new MenuItem("options_back", "back"));

    for (Resolution mode = videoDriver->firstResolution(); mode.width != 0;
         mode = videoDriver->nextResolution())
    {
        const std::string label = std::to_string(mode.width) + " x " + std::to_string(mode.height);
        videoPage->addChild(new MenuItem(mode.name, label));
    }
    addSeparator(videoPage, "options_video_sep");
    videoPage->addChild(new MenuItem("options_video_back", "back"));
}

void Menu::update()
{
    currentPage->updatePage();

    if (fade > 0.001f)
        fade /= 1.07f;
    else
        fade = 0.0f;

    Device* device = Core::getDevice();
    Game* game = Core::getGame();
    if (device->wasKeyPressed(KEY_ESCAPE))
    {
        if (currentPage == mainPage || currentPage == dialogPage)
        {
            if (game->isGameFinished())
            {
                enterSound->play();
                game->setState(7, false);
            }
            else if (game->isLevelStarted())
            {
                enterSound->play();
                game->setState(2, true);
            }
        }
        else
        {
            MenuItem* parent = currentPage->getParent();
            currentPage = parent ? parent : mainPage;
            startTransition();
        }
    }

    if (device->wasKeyPressed(KEY_ENTER))
    {
        MenuItem* child = currentPage->getSelectedChild();
        if (!child)
            return;
        if (child->getChildCount() > 0)
        {
            currentPage = child;
            startTransition();
            child->select(0);
        }
        else
        {
            event(child, "enter");
        }
    }
}

void Menu::draw()
{
    if (!currentPage)
        return;

    videoDriver->setColor(1, 1, 1, 0.85f);
    videoDriver->drawTexture(blackTexture, Rect{0, 0, 1024, 768}, Rect{0, 0, 1, 1});
    videoDriver->setColor(1, 1, 1, 1);

    videoDriver->pushMatrix();
    Vec2 panelCentre = {512, 404};
    videoDriver->translate(panelCentre);
    videoDriver->scale(Vec2{1 + fade, 1 + fade});
    videoDriver->drawTexture(panelTexture, Rect{-220, -150, 220, 150});
    videoDriver->popMatrix();

    const TextAlign centre = {0, 0};
    videoDriver->pushMatrix();
    Vec2 titlePos = {512, 245};
    videoDriver->translate(titlePos);
    videoDriver->scale(Vec2{1.3f, 1.3f});
    IntRect titleBox = {0, 0, 0, 0};
    font->print(titleBox, centre, "%s", currentPage->getTitle().c_str());
    videoDriver->popMatrix();

    if (!notice.empty())
    {
        noticeFrames += 1;
        if (noticeFrames > NOTICE_FRAMES)
            notice = "";
    }
    if ((noticeFrames / 20) % 2 == 1)
    {
        videoDriver->pushMatrix();
        IntRect noticeBox = {0, 0, 1024, 100};
        font->print(noticeBox, centre, "%s", notice.c_str());
        videoDriver->popMatrix();
    }

    currentPage->drawPage();
}

void Menu::event(MenuItem* entry, const std::string& eventName)
{
    Core::log("Menu: event [" + entry->getId() + ", " + eventName + "]");
    if (eventName == "enter")
        enterAction(entry);
    else if (eventName == "step")
        stepSound->play();
    else if (eventName == "next" || eventName == "prev")
        changeVolume(entry, eventName);
}

void Menu::changeVolume(MenuItem* entry, const std::string& eventName)
{
    MenuItem_Slider* slider = dynamic_cast<MenuItem_Slider*>(entry);
    if (!slider)
        return;
    Config* config = Core::getConfig();
    const bool isSound = entry->getId() == "options_sound";
    const std::string key = isSound ? "sound_volume" : "music_volume";
    const int old = config->get(key, 0);
    slider->setValue(eventName == "next" ? old + 5 : old - 5);
    const int v = slider->getValue();
    config->set(key, static_cast<int16_t>(v));
    if (v != old)
        stepSound->play();
    if (isSound)
        Core::getAudioDriver()->setSoundVolume(v / 100.0f);
    else
        Core::getAudioDriver()->setMusicVolume(v / 100.0f);
}

void Menu::enterAction(MenuItem* entry)
{
    const std::string id = entry->getId();
    Game* game = Core::getGame();
    Config* config = Core::getConfig();
    UserManager* users = game->getUserManager();

    if (id == "exit_no" || id == "start_back" || id == "load_back" || id == "options_back" ||
        id == "levels_back")
    {
        currentPage = mainPage;
        startTransition();
    }
    else if (id == "levels_tutor_back" || id == "levels_easy_back" || id == "levels_normal_back" ||
             id == "levels_hard_back")
    {
        currentPage = levelsPage;
        startTransition();
    }
    else if (id == "exit_yes")
    {
        Core::quit();
    }
    else if (id == "highscore")
    {
        enterSound->play();
        game->setState(5, true);
    }
    else if (id == "dialog_yes")
    {
        if (pendingAction == "game_restart")
        {
            // The main page first: a level that fails to load leaves the player there.
            resetToMain(true);
            game->initLevel(game->getLevel()->getCurrentLevel());
            game->setState(2, true);
        }
    }
    else if (id == "dialog_no")
    {
        game->setState(2, true);
        resetToMain(true);
    }
    else if (id == "options_dash")
    {
        Entity_Player* player = game->getPlayer();
        const bool flag = !player->getDashWithControl();
        player->setDashWithControl(flag);
        entry->setLabel(flag ? "dash: ctrl key" : "dash: no key");
        config->set("dash_with_control", flag ? 1 : 0);
        enterSound->play();
    }
    else if (id == "options_video_back")
    {
        currentPage = optionsPage;
        startTransition();
    }
    else if (id == "options_full")
    {
        const bool full = config->get("screen_full", 1) != 0;
        config->set("screen_full", full ? 0 : 1);
        entry->setLabel(full ? "fullscreen: no" : "fullscreen: yes");
        setNotice(VIDEO_NOTICE);
        startTransition();
    }
    else if (id == "start_ok" || id == "start_name")
    {
        createProfile();
    }
    else if (id == "name_exists_overwrite")
    {
        setNotice("");
        const std::string name = nameInput->getValue();
        if (!profileAction([&] { users->createUser(name); }, SAVE_FAILED_NOTICE) ||
            !profileAction([&] { users->loadUser(name); }, READ_FAILED_NOTICE))
            return;
        buildLevelMenus();
        currentPage = levelsPage;
        startTransition();
        selectLevelEntry->setDisabled(false);
    }
    else if (id == "name_exists_cancel")
    {
        currentPage = startPage;
        startTransition();
        startPage->select(0);
    }
    else if (id == "select")
    {
        currentPage = levelsPage;
        startTransition();
    }
    else if (startsWith(id, "video_res"))
    {
        const Resolution mode = videoDriver->findResolution(id);
        config->set("screen_width", static_cast<int16_t>(mode.width));
        config->set("screen_height", static_cast<int16_t>(mode.height));
        setNotice(VIDEO_NOTICE);
        currentPage = optionsPage;
        startTransition();
    }
    else if (startsWith(id, "load_user"))
    {
        startTransition();
        setNotice("");
        if (!profileAction([&] { users->loadUser(entry->getText()); }, READ_FAILED_NOTICE))
            return;
        // A profile that failed its check has asked the program to quit: start nothing.
        if (!Core::isRunning())
            return;
        buildLevelMenus();
        // The profile is loaded even if its level then fails to: its other levels stay open.
        selectLevelEntry->setDisabled(false);
        game->initLevel(users->getReachedLevel());
        game->setState(2, true);
    }
    else if (startsWith(id, "level_"))
    {
        // Enter reaches even a disabled entry; a locked level must not start.
        if (entry->isDisabled())
            return;
        startTransition();
        int n = 0;
        if (std::sscanf(id.c_str(), "level_%d", &n) != 1)
            return;
        game->initLevel(n);
        game->setState(2, true);
    }
}

void Menu::createProfile()
{
    setNotice("");
    const std::string name = nameInput->getValue();
    UserManager* users = Core::getGame()->getUserManager();
    if (name.empty())
    {
        setNotice("please enter a name");
        return;
    }
    if (users->userExists(name))
    {
        currentPage = nameExistsPage;
        startTransition();
        nameExistsPage->select(1);
        return;
    }
    if (!profileAction([&] { users->createUser(name); }, SAVE_FAILED_NOTICE))
        return;
    // Listed from now on, even if it cannot be read back below.
    buildLoadMenu();
    if (!profileAction([&] { users->loadUser(name); }, READ_FAILED_NOTICE))
        return;
    buildLevelMenus();
    currentPage = levelsPage;
    startTransition();
    selectLevelEntry->setDisabled(false);
}

bool Menu::profileAction(const std::function<void()>& action, const char* failureNotice)
{
    try
    {
        action();
        return true;
    }
    catch (Exception* e)
    {
        Core::log("Menu: " + e->getMessage());
        setNotice(failureNotice);
        delete e;
        return false;
    }
}

void Menu::startTransition()
{
    enterSound->play();
    fade = 0.05f;
}

void Menu::setPage(MenuItem* page)
{
    stepSound->play();
    currentPage = page;
}

void Menu::showMain()
{
    currentPage = mainPage;
    startTransition();
}

void Menu::resetToMain(bool transition)
{
    currentPage = mainPage;
    mainPage->select(0);
    if (transition)
        startTransition();
}

void Menu::showDialog(const std::string& question, const std::string& action)
{
    dialogPage->setLabel(question);
    pendingAction = action;
    currentPage = dialogPage;
    dialogPage->select(0);
    Core::getGame()->setState(1, true);
    startTransition();
}

bool Menu::openPage(const std::string& pageId)
{
    return mainPage->openById(pageId);
}

void Menu::setNotice(const std::string& text)
{
    notice = text;
    noticeFrames = 0;
}

void Menu::addSeparator(MenuItem* page, const std::string& separatorId)
{
    MenuItem* separator = new MenuItem(separatorId, "");
    page->addChild(separator);
    separator->setDisabled(true);
}

void Menu::buildLoadMenu()
{
    UserManager* users = Core::getGame()->getUserManager();
    if (users->getUserCount() == 0)
    {
        loadPage->setDisabled(true);
        return;
    }
    loadPage->setDisabled(false);
    loadPage->clear();
    for (std::string name = users->firstUserName(); !name.empty(); name = users->nextUserName())
        loadPage->addChild(new MenuItem("load_user_" + name, name));
    addSeparator(loadPage, "load_sep");
    loadPage->addChild(new MenuItem("load_back", "back"));
}

void Menu::buildLevelMenus()
{
    // The difficulty pages are about to be deleted: never keep one on screen.
    const bool onDeletedPage = isBelow(currentPage, levelsPage);
    levelsPage->clear();
    if (onDeletedPage)
        currentPage = levelsPage;

    Game* game = Core::getGame();
    const std::vector<std::string> files = game->getLevelFilenames();

    struct Difficulty
    {
        const char* folder;
        const char* id;
        const char* label;
        MenuItem* page;
        int levels;
        int locked;
    };
    Difficulty difficulties[] = {
        {"/tutorial/", "levels_tutor", "tutorial levels", nullptr, 0, 0},
        {"/easy/", "levels_easy", "easy levels", nullptr, 0, 0},
        {"/normal/", "levels_normal", "normal levels", nullptr, 0, 0},
        {"/hard/", "levels_hard", "hard levels", nullptr, 0, 0},
    };
    for (Difficulty& d : difficulties)
    {
        d.page = new MenuItem(d.id, d.label);
        d.page->setTitle("select level");
        levelsPage->addChild(d.page);
    }

    const int reached = game->getUserManager()->getReachedLevel();
    for (size_t i = 0; i < files.size(); ++i)
    {
        Difficulty* chosen = nullptr;
        for (Difficulty& d : difficulties)
        {
            if (files[i].find(d.folder) != std::string::npos)
            {
                chosen = &d;
                break;
            }
        }
        if (!chosen)
            continue;
        MenuItem* entry = new MenuItem("level_" + std::to_string(i), game->levelNameFromFile(files[i]));
        const bool locked = static_cast<int>(i) > reached;
        entry->setDisabled(locked);
        chosen->page->addChild(entry);
        chosen->levels += 1;
        chosen->locked += locked ? 1 : 0;
    }

    for (Difficulty& d : difficulties)
    {
        addSeparator(d.page, std::string(d.id) + "_sep");
        d.page->addChild(new MenuItem(std::string(d.id) + "_back", "back"));
    }
    // The tutorial stays open even when all its levels are locked.
    for (size_t k = 1; k < 4; ++k)
        difficulties[k].page->setDisabled(difficulties[k].locked == difficulties[k].levels);

    addSeparator(levelsPage, "levels_sep");
    levelsPage->addChild(new MenuItem("levels_back", "back"));
}
