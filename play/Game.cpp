#include "Game.h"

#include "AudioDriver.h"
#include "Config.h"
#include "Core.h"
#include "Credits.h"
#include "Device.h"
#include "Entity_Player.h"
#include "Exception.h"
#include "FileReader.h"
#include "Font.h"
#include "GameOver.h"
#include "HashManager.h"
#include "Highscore.h"
#include "Level.h"
#include "LevelStat.h"
#include "Map.h"
#include "Menu.h"
#include "Message.h"
#include "Texture.h"
#include "UserManager.h"
#include "VideoDriver.h"
#include "View.h"

#include <cctype>
#include <exception>
#include <fstream>
#include <iostream>
#include <unistd.h>

Game::Game()
    : otherLevelsScore(0), deathDelay(0), videoDriver(nullptr), device(nullptr), font1(nullptr),
      levelCompletedFlag(false), levelStarted(false), gameFinished(false), state(0), player(nullptr),
      fade(0.0f), fadeSpeed(0.0f), userManager(nullptr), level(nullptr), map(nullptr), menu(nullptr),
      levelStat(nullptr), highscore(nullptr), credits(nullptr), messageBox(nullptr), gameOver(nullptr),
      hashManager(nullptr), messageFrames(0), stateChanged(false)
{
    Core::log("Game: init");
    device = Core::getDevice();
    videoDriver = device->getVideoDriver();
    videoDriver->clear();
    showSplash();

    setState(1, true);
    font1 = videoDriver->getFont("textures/font1.png");

    hashManager = new HashManager();
    try
    {
        readLevelList();
    }
    catch (Exception*)
    {
        // The destructor does not run for a constructor that throws.
        delete hashManager;
        hashManager = nullptr;
        throw;
    }

    Core::getAudioDriver()->playMusic("music/Title_Music.ogg", 0.01f);

    fade = 0.0f;
    fadeSpeed = 0.01f;
    levelStarted = false;
    messageText = "";
    messageFrames = 0;
    otherLevelsScore = 0;
    stateChanged = false;
    gameFinished = false;
}

// The maker's picture stays on screen while the rest of start-up runs.
void Game::showSplash()
{
    Texture* splash = videoDriver->getTexture("textures/vormel.png", true);
    const int width = splash->getWidth();
    const int height = splash->getHeight();
    const Rect rect{static_cast<float>((1024 - width) / 2), static_cast<float>((768 - height) / 2),
                    static_cast<float>((1024 + width) / 2), static_cast<float>((768 + height) / 2)};
    videoDriver->drawTexture(splash, rect);
    videoDriver->dropTexture(splash);
    device->swapBuffers();
}

void Game::readLevelList()
{
    Core::log("Game: load level filenames");
    hashManager->check("levels.ini");

    // A list of level paths: a megabyte holds tens of thousands.
    FileReader file("levels.ini", FileReader::text, 1024 * 1024);
    std::string word;
    for (int c = file.get();; c = file.get())
    {
        if (c < 0 && file.overLimit())
        {
            break; // the word cut at the limit is no path
        }
        if (c >= 0 && !std::isspace(c))
        {
            word.push_back(static_cast<char>(c));
            continue;
        }
        // Words of one or two characters (stray line-end bytes among them) are not levels.
        if (word.size() > 2)
        {
            levelFiles.push_back(word);
        }
        word.clear();
        if (c < 0)
        {
            break; // the end, or a read error
        }
    }
    if (file.overLimit())
    {
        // No real list comes near the limit: keep the levels read so far and play on.
        Core::log("Game: levels.ini is " + file.error() + ", the levels after the first " +
                  std::to_string(levelFiles.size()) + " are not read");
    }
    else if (file.failed())
    {
        // A file that is there but cannot be read says why; a missing one only stops the start.
        if (access("levels.ini", F_OK) == 0)
        {
            Core::log("Game: can't read levels.ini: " + file.error());
        }
        levelFiles.clear();
        throw new Exception("Game: Can't load filenames (levels.ini)");
    }

    // Every level index the game uses comes from this list; without a level there is no game.
    if (levelFiles.empty())
    {
        Core::log("Game: levels.ini lists no level file");
        throw new Exception("Game: no levels in levels.ini");
    }
}

void Game::createObjects()
{
    level = new Level();
    player = new Entity_Player();
    player->setDashWithControl(Core::getConfig()->get("dash_with_control", 1) != 0);
    userManager = new UserManager();
    menu = new Menu();
    map = new Map();
    levelStat = new LevelStat();
    messageBox = new Message();
    credits = new Credits();
    highscore = new Highscore();
    gameOver = new GameOver();
}

Game::~Game()
{
    delete menu;
    menu = nullptr;
    delete player;
    player = nullptr;
    delete levelStat;
    levelStat = nullptr;
    delete credits;
    credits = nullptr;
    delete messageBox;
    messageBox = nullptr;
    delete highscore;
    highscore = nullptr;
    delete gameOver;
    gameOver = nullptr;
    delete hashManager;
    hashManager = nullptr;
    delete level;
    level = nullptr;
    delete map;
    map = nullptr;
    delete userManager;
    userManager = nullptr;
    levelFiles.clear();
    Core::log("Game: done");
}

void Game::setState(uint8_t newState, bool start)
{
    state = newState;
    if (start)
    {
        switch (state)
        {
        case 3:
            map->start();
            break;
        case 5:
            highscore->start();
            break;
        case 7:
            credits->start();
            break;
        case 8:
            gameOver->start();
            break;
        default:
            break;
        }
    }

    if (state == 1)
    {
        device->setKeyRepeat(250, 50);
    }
    else if (state == 2)
    {
        device->setKeyRepeat(0, 50);
    }
    stateChanged = true;
}

void Game::update()
{
    if (state == 2)
    {
        if (levelCompletedFlag)
        {
            // No start call: the statistics screen was started by levelCompleted.
            state = 4;
        }
        else if (player->isDead())
        {
            if (deathDelay >= 40)
            {
                setState(8, true);
            }
            else
            {
                ++deathDelay;
            }
        }
    }

    if (messageFrames != 0)
    {
        --messageFrames;
    }

    switch (state)
    {
    case 1:
        menu->update();
        break;
    case 2:
        level->update();
        break;
    case 3:
        map->update();
        break;
    case 4:
        levelStat->update();
        break;
    case 5:
        highscore->update();
        break;
    case 6:
        messageBox->update();
        break;
    case 7:
        credits->update();
        break;
    case 8:
        gameOver->update();
        break;
    default:
        break;
    }

    if (fadeSpeed != 0.0f)
    {
        fade += fadeSpeed;
        if (fade < 0.0f || fade > 1.0f)
        {
            fadeSpeed = 0.0f;
        }
    }
}

void Game::draw()
{
    if (stateChanged)
    {
        stateChanged = false;
        return;
    }

    if (gameFinished)
    {
        credits->draw();
        if (state == 1)
        {
            menu->draw();
        }
        else if (state == 5)
        {
            highscore->draw();
        }
        return;
    }

    level->setPlayerLight(state == 2 || state == 6);
    videoDriver->pushMatrix();
    Vec2 offset{150.0f, 0.0f};
    videoDriver->translate(offset);
    level->draw();
    if (state == 2 && messageFrames != 0 && (messageFrames / 20) % 2 == 0)
    {
        const View* view = level->getView();
        IntRect box{10, 10, view->getWidth() - 10, view->getHeight() - 10};
        font1->print(box, TextAlign{0, 0}, "%s", messageText.c_str());
    }
    videoDriver->popMatrix();

    IntRect nameBox{180, 22, 1004, 768};
    font1->print(nameBox, TextAlign{1, 255}, "level: %s", level->getName().c_str());
    IntRect scoreBox{180, 22, 1024, 768};
    font1->print(scoreBox, TextAlign{255, 255}, "score: %u", otherLevelsScore + player->getScore());

    // The statistics, game over and message box lie under the panel, the overview over it.
    if (state == 4)
    {
        levelStat->draw();
    }
    else if (state == 8)
    {
        gameOver->draw();
    }
    else if (state == 6)
    {
        messageBox->draw();
    }

    drawHud();

    if (state == 1)
    {
        menu->draw();
    }
    else if (state == 3)
    {
        map->draw();
    }
    else if (state == 5)
    {
        highscore->draw();
    }

    if (fade > 0.0f)
    {
        videoDriver->setColor(0.0f, 0.0f, 0.0f, 1.0f - fade);
        videoDriver->drawTexture(nullptr, Rect{0.0f, 0.0f, 1024.0f, 768.0f});
        videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    }
}

void Game::drawHud()
{
    Texture* panel = videoDriver->getTexture("textures/hud.png", false);
    videoDriver->drawTexture(panel, Rect{0.0f, 0.0f, 254.0f, 384.0f}, Rect{0.0f, 0.0f, 0.496f, 1.0f});
    videoDriver->drawTexture(panel, Rect{0.0f, 384.0f, 254.0f, 768.0f}, Rect{0.5f, 0.0f, 0.996f, 1.0f});

    const TextAlign topLeft{255, 255};
    IntRect blueKeys{95, 27, 137, 768};
    font1->print(blueKeys, topLeft, "%u", static_cast<unsigned>(player->getKeys(1)));
    IntRect yellowKeys{95, 77, 137, 768};
    font1->print(yellowKeys, topLeft, "%u", static_cast<unsigned>(player->getKeys(0)));
    IntRect bombs{95, 127, 137, 768};
    font1->print(bombs, topLeft, "%u", static_cast<unsigned>(player->getBombs()));

    // Both bars rise from y 611: their bottom edge lies above their top edge.
    const Rect barTexture{0.0f, 0.0f, 0.9f, 0.9f};
    Texture* apples = videoDriver->getTexture("textures/hud-apple.png", false);
    videoDriver->drawTexture(apples, Rect{25.0f, 611.0f, 57.0f, 611.0f - 1.825f * player->getApples()},
                             barTexture);

    // A level without diamonds has nothing to fill the bar with.
    const uint16_t diamondCount = level->getDiamondCount();
    if (diamondCount != 0)
    {
        Texture* diamonds = videoDriver->getTexture("textures/hud-diamond.png", false);
        const float height = (-365.0f / diamondCount) * player->getDiamonds();
        videoDriver->drawTexture(diamonds, Rect{96.0f, 611.0f, 128.0f, 611.0f + height}, barTexture);
    }
}

void Game::showMessage(const std::string& text, uint16_t frames)
{
    messageText = text;
    messageFrames = frames;
}

std::string Game::levelNameFromFile(const std::string& file)
{
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos)
    {
        return "";
    }
    std::string name = file.substr(slash + 1);
    if (name.size() >= 4)
    {
        name.resize(name.size() - 4);
    }
    for (char& c : name)
    {
        if (c == '_')
        {
            c = ' ';
        }
    }
    return name;
}

void Game::getFirstLevel()
{
    Core::log("Game: Get first level");
    try
    {
        level->load(0, levelFiles[0], false);
    }
    catch (Exception* e)
    {
        std::cout << e->getMessage() << std::endl;
        delete e;
    }
    catch (const std::exception& e)
    {
        std::cout << e.what() << std::endl;
    }
    levelCompletedFlag = false;
}

namespace
{
// The menu's notice line holds about 50 characters: the error names the level's file without
// its folders there (the log keeps the whole path).
std::string noticeFor(const std::string& error, const std::string& file)
{
    const size_t at = error.find(file);
    const size_t slash = file.rfind('/');
    if (at == std::string::npos || slash == std::string::npos)
    {
        return error;
    }
    return error.substr(0, at) + file.substr(slash + 1) + error.substr(at + file.size());
}
} // namespace

void Game::initLevel(int32_t n)
{
    AudioDriver* audio = Core::getAudioDriver();
    const Config* config = Core::getConfig();
    if (config->get("music_volume", 0) != 0 && audio->getMusicVolume() == 0.0f)
    {
        audio->setMusicVolume(config->get("music_volume", 70) / 100.0f);
        audio->fadeMusic(0.01f);
    }

    const bool wasStarted = levelStarted;
    const bool wasCompleted = levelCompletedFlag;
    const bool wasFinished = gameFinished;
    const int32_t oldDeathDelay = deathDelay;
    levelStarted = true;
    levelCompletedFlag = false;
    gameFinished = false;
    deathDelay = 0;

    if (n < 0 || n >= getLevelCount())
    {
        throw new Exception("Game: initLevel(n), n is invalid: " + std::to_string(n));
    }

    drawLoading();
    const std::string& file = levelFiles[n];
    hashManager->check(file);
    try
    {
        level->load(static_cast<uint32_t>(n), file, true);
    }
    catch (Exception* e)
    {
        // The level kept what it had: back to the menu with it behind, as if this start had never
        // been asked for. Passed on, so the caller's switch to play is skipped and the step logs it.
        levelStarted = wasStarted;
        levelCompletedFlag = wasCompleted;
        gameFinished = wasFinished;
        deathDelay = oldDeathDelay;
        menu->setNotice(noticeFor(e->getMessage(), file));
        setState(1, true);
        throw;
    }
    otherLevelsScore = static_cast<uint32_t>(userManager->getTotalScore(n));
    stateChanged = true;
}

void Game::drawLoading()
{
    videoDriver->setColor(0.0f, 0.0f, 0.0f, 1.0f);
    videoDriver->drawTexture(nullptr, Rect{0.0f, 0.0f, 1024.0f, 768.0f});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    IntRect box{0, 0, 1024, 768};
    font1->print(box, TextAlign{0, 0}, "loading...");
    device->swapBuffers();
}

void Game::levelCompleted()
{
    levelCompletedFlag = true;
    player->setFrozen(true);

    levelStat->start();

    const int32_t current = static_cast<int32_t>(level->getCurrentLevel());
    const int32_t levelTotal = levelStat->getLevelTotal();
    if (userManager->getScore(current) < levelTotal)
    {
        userManager->setScore(current, levelTotal);
    }

    int32_t next = current + 1;
    if (next >= getLevelCount())
    {
        next = current;
    }
    if (next > userManager->getReachedLevel())
    {
        userManager->setReachedLevel(next);
        menu->buildLevelMenus();
    }

    try
    {
        userManager->saveUser();
    }
    catch (Exception* e)
    {
        // The profile on disk stays as it was; the game goes on with the new values in memory,
        // and the statistics screen tells the player.
        Core::log(e->getMessage());
        levelStat->setSaveFailed(true);
        delete e;
    }

    setState(4, true);
}

void Game::nextLevel()
{
    drawLoading();
    const int32_t n = static_cast<int32_t>(level->getCurrentLevel()) + 1;
    if (n < getLevelCount())
    {
        initLevel(n);
        levelCompletedFlag = false;
    }
    else
    {
        gameFinished = true;
    }
}
