#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Credits;
class Device;
class Entity_Player;
class Font;
class GameOver;
class HashManager;
class Highscore;
class Level;
class LevelStat;
class Map;
class Menu;
class Message;
class UserManager;
class VideoDriver;

// The game controller: owns the level, the player, the profiles, the menu and the screens, and
// runs the state machine that decides each step what is updated and what is drawn.
// States: 1 menu, 2 play, 3 level overview, 4 level statistics, 5 high scores, 6 message,
// 7 credits, 8 game over.
class Game
{
  public:
    // Shows the splash, reads the level list and starts the title music. Throws Exception* when
    // "levels.ini" cannot be read or lists no level.
    Game();
    ~Game();

    void createObjects();
    // Loads level 0 behind the menu; its errors go to the standard output.
    void getFirstLevel();

    // start runs the entered screen's start call (overview, high scores, credits, game over).
    void setState(uint8_t newState, bool start);
    void update();
    void draw();
    void showMessage(const std::string& text, uint16_t frames);
    bool isStateChanged() const { return stateChanged; }

    // Starts level n; the caller enters state 2. Throws Exception* for an index outside the list.
    void initLevel(int32_t n);
    // Called by the open exit under the player: records the level and shows its statistics.
    void levelCompleted();
    // The next level, or the game-finished flag after the last one.
    void nextLevel();
    // Black screen with "loading...", shown at once.
    void drawLoading();

    // "levels/easy/first_steps.txt" -> "first steps"; "" without a "/".
    static std::string levelNameFromFile(const std::string& file);
    int32_t getLevelCount() const { return static_cast<int32_t>(levelFiles.size()); }
    std::vector<std::string> getLevelFilenames() const { return levelFiles; }

    uint8_t getState() const { return state; }
    bool isLevelCompleted() const { return levelCompletedFlag; }
    bool isLevelStarted() const { return levelStarted; }
    bool isGameFinished() const { return gameFinished; }
    Level* getLevel() const { return level; }
    Entity_Player* getPlayer() const { return player; }
    UserManager* getUserManager() const { return userManager; }
    HashManager* getHashManager() const { return hashManager; }
    Menu* getMenu() const { return menu; }
    Highscore* getHighscore() const { return highscore; }
    Message* getMessage() const { return messageBox; }
    Map* getMap() const { return map; }
    LevelStat* getLevelStat() const { return levelStat; }
    Credits* getCredits() const { return credits; }
    GameOver* getGameOver() const { return gameOver; }
    float getFade() const { return fade; }
    int32_t getDeathDelay() const { return deathDelay; }
    uint32_t getOtherLevelsScore() const { return otherLevelsScore; }
    std::string getMessageText() const { return messageText; }
    uint16_t getMessageFrames() const { return messageFrames; }

  private:
    void showSplash();
    void readLevelList();
    void drawHud();

    std::vector<std::string> levelFiles;
    uint32_t otherLevelsScore;
    int32_t deathDelay;
    VideoDriver* videoDriver;
    Device* device;
    Font* font1;
    bool levelCompletedFlag;
    bool levelStarted;
    bool gameFinished;
    uint8_t state;
    Entity_Player* player;
    float fade;
    float fadeSpeed;
    UserManager* userManager;
    Level* level;
    Map* map;
    Menu* menu;
    LevelStat* levelStat;
    Highscore* highscore;
    Credits* credits;
    Message* messageBox;
    GameOver* gameOver;
    HashManager* hashManager;
    std::string messageText;
    uint16_t messageFrames;
    bool stateChanged;

    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;
};
