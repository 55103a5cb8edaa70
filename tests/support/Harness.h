#pragma once

#include <SDL/SDL.h>
#include <cstdint>
#include <exception>
#include <map>
#include <string>

// Runs the real Core (real window under Xvfb, real GL, real sound layer on SDL's dummy driver)
// in a working folder, one main-loop step at a time (Core::step, no 16 ms wait).
//
// Pictures: screenshot() and pixel() show what the window shows: the frame of the last buffer swap
// (the harness keeps a copy of every frame as it is swapped; during step(n) only the last step's).
// To look at a frame that was not swapped (a step in which the game state changed), call
// drawFrame() first: it clears the back buffer, runs Game::draw without swapping, and makes the
// next reads use the back buffer until the next step().
class Harness
{
  public:
    // Fresh XDG_DATA_HOME (a new temp folder), chdir(workDir), Core::init("config.ini").
    // appDataFiles (file name -> bytes, e.g. "config.ini", "users.ini") are written into the fresh
    // application-data folder first. With dataHome the game uses that XDG_DATA_HOME as it is
    // instead, so a test can start it again on what an earlier run left there.
    explicit Harness(const std::string& workDir, const std::map<std::string, std::string>& appDataFiles = {},
                     const std::string& dataHome = "");
    // Core::shutdown(), then chdir back.
    ~Harness();

    // What Core::init returned.
    int initResult() const;
    // Buffer swaps so far in this process.
    unsigned int swapCount() const;
    // Core::step() n times.
    void step(int n = 1);

    // Held state: SDL_GetKeyState(NULL)[key]; Ctrl, Alt and Shift also set SDL_SetModState.
    void hold(SDLKey key, bool down = true);
    // A press: SDL_KEYDOWN (with unicode for printable keys) pushed with SDL_PushEvent; drained by
    // the next step.
    void press(SDLKey key, SDLMod mod = KMOD_NONE);
    // Every held key up, modifier state none.
    void releaseAll();

    // Game::draw into the cleared back buffer, without swapping.
    void drawFrame();
    // The frame read back, written as a PNG.
    bool screenshot(const std::string& pngPath) const;
    // Saves a screenshot as <build>/screenshots/<name>.png and returns that path ("" on failure).
    // With QUARROW_SCREENSHOTS set in the environment, every Harness saves its last frame this
    // way when it ends, named after the running test (e.g. QUARROW_SCREENSHOTS=1 ./test.sh -R Menu).
    std::string saveScreenshot(const std::string& name) const;
    // 0xRRGGBB at window pixel (x, y), origin top left.
    uint32_t pixel(int x, int y) const;
    // Red, green and blue summed over every second pixel of the rectangle [left, right) x
    // [top, bottom): enough to tell a text or a panel from the background under it.
    long brightness(int left, int top, int right, int bottom) const;

    // "<xdg>/vormel/Quarrow/".
    std::string appData() const;
    // The contents of appData() + "log.txt".
    std::string logText() const;

  private:
    void applyHeld();

    int result;
    std::string previousDir;
    std::string appDataDir;
    std::map<SDLKey, bool> held;
    bool readBack;
};

// Holds the mixer still while it lives (SDL_LockAudio): a sound started meanwhile is still playing
// when the test looks, however long the steps took. The dummy audio output plays in real time, so a
// 70 ms menu sound can be over by the end of one slow step on a busy machine. Never keep one across
// Core::shutdown (closing the audio waits for the mixer).
class MixerHold
{
  public:
    MixerHold() { SDL_LockAudio(); }
    ~MixerHold() { SDL_UnlockAudio(); }
    MixerHold(const MixerHold&) = delete;
    MixerHold& operator=(const MixerHold&) = delete;
};

// Fault injection: the next buffer swap throws new Exception(message) instead of swapping, as an
// operation of the step that fails would.
void throwAtNextSwap(const std::string& message);
// The same with any other error, e.g. throwAtNextSwap(std::make_exception_ptr(std::bad_alloc())).
void throwAtNextSwap(std::exception_ptr error);

// A fresh temp working folder holding `files` (relative path -> bytes, parent folders created).
// With withGameData, textures/, sounds/ and music/ are symlinks into the build's generated data
// (QUARROW_DATA_DIR). When `files` holds "levels.ini" but no "hashes.ini", a "hashes.ini" for
// "levels.ini" and every level file it lists is written too.
std::string makeWorkDir(const std::map<std::string, std::string>& files, bool withGameData = true);
