#pragma once

#include <cstdint>
#include <functional>
#include <string>

class Font;
class MenuItem;
class MenuItem_Input;
class Sound;
class Texture;
class VideoDriver;

// The whole menu: owns the page tree, knows the page on screen, reads the navigation keys,
// draws the dimmed panel and turns the entries' events into actions.
class Menu
{
  public:
    Menu();
    ~Menu();

    void update();
    void draw();
    // The actions behind every entry ("enter"), the step sound ("step"), the sliders ("prev"/"next").
    void event(MenuItem* entry, const std::string& eventName);

    void startTransition();
    void setPage(MenuItem* page);
    void showMain();
    void resetToMain(bool transition);
    void showDialog(const std::string& question, const std::string& action);
    bool openPage(const std::string& pageId);
    void setNotice(const std::string& text);
    void addSeparator(MenuItem* page, const std::string& separatorId);
    void buildLoadMenu();
    void buildLevelMenus();

    MenuItem* getCurrentPage() const { return currentPage; }
    std::string getNotice() const { return notice; }

  private:
    void buildMainPage();
    void buildOptionsPage(MenuItem* options);
    void changeVolume(MenuItem* entry, const std::string& eventName);
    void createProfile();
    // Runs a profile file operation. A file error is logged and shown as the notice instead of
    // leaving the menu; the page stays, so the player can try again. False on an error.
    bool profileAction(const std::function<void()>& action, const char* failureNotice);
    void enterAction(MenuItem* entry);

    MenuItem* startPage;
    MenuItem_Input* nameInput;
    MenuItem* nameExistsPage;
    MenuItem* loadPage;
    MenuItem* levelsPage;
    MenuItem* currentPage;
    MenuItem* optionsPage;
    MenuItem* mainPage;
    MenuItem* dialogPage;
    MenuItem* highscoreEntry;
    MenuItem* selectLevelEntry;
    std::string pendingAction;
    VideoDriver* videoDriver;
    Font* font;
    Texture* blackTexture;
    Texture* panelTexture;
    float fade;
    Sound* enterSound;
    Sound* stepSound;
    std::string notice;
    int32_t noticeFrames;
};
