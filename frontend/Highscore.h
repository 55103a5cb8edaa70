#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "HighscoreEntry.h"
#include "Vec2.h"

class Device;
class Font;
class Sound;
class Texture;
class VideoDriver;

// The online high-score table (state 5) and the score submission of the statistics and game-over
// screens. Every exchange is one blocking HTTP GET on the main thread; results and errors are
// shown on small modal screens that run their own frame loop until Enter or Escape.
//
// The server is "http://" + host, where host is QUARROW_HIGHSCORE_HOST from the environment
// (host or host:port) or else the build's default. QUARROW_HIGHSCORE_TIMEOUT_MS, when set,
// shortens the transfer time-outs (tests only).
class Highscore
{
  public:
    Highscore();
    virtual ~Highscore();

    // Fetches the table; on a failure or a refusal the player ends up back in the menu.
    void start();
    // Enter or Escape returns to the menu and lets the table go.
    void update();
    void draw();
    // Sends the current player's score and shows the place reached; returns once the player has
    // closed the message screen. The game state stays as it was.
    void submit();

    // The rows of the table on screen, in the server's order; empty once the screen is left.
    const std::vector<HighscoreEntry>& getEntries() const { return entries; }
    // A row's name, as the server sent it; valid while the row is.
    std::string_view getName(const HighscoreEntry& entry) const
    {
        return std::string_view(entryText).substr(entry.nameStart, entry.nameLength);
    }
    float getPhase() const { return phase; }

    // The server's address: "http://" and the host, without a trailing "/".
    static std::string serverAddress();
    // The memory the shared transfer buffer holds now; nothing beyond an empty string's between
    // transfers (tests).
    static size_t responseCapacity() { return response.capacity(); }

  private:
    bool httpGet(const std::string& url);
    // Appends to the shared answer; past 8 MiB it takes no more, which ends the transfer.
    static size_t writeCallback(char* data, size_t size, size_t count, void* user);
    // Empties the shared answer and gives its memory back.
    static void releaseResponse();
    // The answer, moved out; the shared buffer is left empty and without memory.
    static std::string takeResponse();
    // Keeps the answer as the text of the names and reads its rows.
    void readTable(std::string answer);
    void showConnecting();
    void showServerError(const std::string& text);
    void showSubmitted(const std::string& text);
    void showConnectionError();
    // The modal loop of one message screen (0 server error, 1 submitted, 2 connection error).
    void runModal(int screen, const std::string& text);
    bool beginModalFrame();
    void pumpFrame();
    void drawOkButton(const Vec2& centre);
    // Lets every row and the answer text go, memory included.
    void clearEntries();

    uint32_t lastFrameTicks;
    Font* font1;
    Font* font2;
    Font* font3;
    Texture* buttonTexture;
    float phase;
    std::vector<HighscoreEntry> entries;
    std::string entryText;
    VideoDriver* videoDriver;
    Device* device;
    Sound* enterSound;

    static std::string response;

    Highscore(const Highscore&) = delete;
    Highscore& operator=(const Highscore&) = delete;
};
