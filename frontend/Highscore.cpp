#include "Highscore.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Crypt.h"
#include "Device.h"
#include "Entity_Player.h"
#include "Font.h"
#include "Game.h"
#include "HighscoreEntry.h"
#include "Level.h"
#include "Menu.h"
#include "Sound.h"
#include "UserManager.h"
#include "VideoDriver.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <curl/curl.h>
#include <sstream>
#include <utility>

namespace
{
const int KEY_ENTER = 13;
const int KEY_ESCAPE = 27;

// A dead server must not freeze the game: the transfer gives up and the connection-error screen
// lets the player go on.
const long CONNECT_TIMEOUT_MS = 10000;
const long TOTAL_TIMEOUT_MS = 20000;

// Only an endless or hostile answer comes near it: 100,000 rows of 13-character names, 11-character
// scores and CR LF line ends are 2.7 MB. Every row takes at least its tab and line end, so the
// rows of a cut-off answer are bounded too.
const size_t ANSWER_LIMIT = 8 * 1024 * 1024;
// A row's name is found by its place in the answer.
static_assert(ANSWER_LIMIT <= UINT32_MAX, "answer offsets are 32 bits");
// Rows from here down lie below the window.
const float WINDOW_BOTTOM = 768.0f;

// Set when the answer reached ANSWER_LIMIT and the rest was refused.
bool answerCut = false;

enum ModalScreen
{
    screenServerError = 0,
    screenSubmitted = 1,
    screenConnectionError = 2
};

// The total time-out; QUARROW_HIGHSCORE_TIMEOUT_MS shortens it so tests of a silent server stay quick.
long totalTimeoutMs()
{
    const char* value = std::getenv("QUARROW_HIGHSCORE_TIMEOUT_MS");
    if (value != nullptr)
    {
        char* end = nullptr;
        const long ms = std::strtol(value, &end, 10);
        if (end != value && *end == '\0' && ms > 0 && ms < TOTAL_TIMEOUT_MS)
        {
            return ms;
        }
    }
    return TOTAL_TIMEOUT_MS;
}

// A decimal number as "%d" reads it (leading blanks, sign, digits) from text[from, to); 0 when
// there is none, and clamped to 32 bits. Nothing at or past `to` is looked at, so a score never
// reads into the next line.
int32_t readNumber(const std::string& text, size_t from, size_t to)
{
    size_t at = from;
    while (at < to && std::isspace(static_cast<unsigned char>(text[at])))
    {
        ++at;
    }
    const bool negative = at < to && text[at] == '-';
    if (at < to && (text[at] == '-' || text[at] == '+'))
    {
        ++at;
    }
    int64_t value = 0;
    for (; at < to && text[at] >= '0' && text[at] <= '9'; ++at)
    {
        // Past 32 bits the digits only decide how long the number is.
        if (value <= INT32_MAX)
        {
            value = value * 10 + (text[at] - '0');
        }
    }
    value = negative ? -value : value;
    return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

// The rows of a table answer: a count line, then rows of name, tab and score. Each pass skips one
// line end, so the count line is passed over before the first row. A first line that is no number
// gives no rows. A row is one line: a line without a tab ends the table, and neither name nor
// score reaches past its line end. With `rows` null the rows are only counted.
size_t readRows(const std::string& text, HighscoreEntry* rows)
{
    const int32_t count = readNumber(text, 0, text.size());
    const size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
    size_t taken = 0;
    size_t lineEnd = text.find('\n');
    while (taken < wanted && lineEnd != std::string::npos)
    {
        const size_t rowStart = lineEnd + 1;
        lineEnd = text.find('\n', rowStart);
        const size_t rowEnd = lineEnd == std::string::npos ? text.size() : lineEnd;
        const size_t tab = std::find(text.begin() + rowStart, text.begin() + rowEnd, '\t') - text.begin();
        if (tab == rowEnd)
        {
            break;
        }
        if (rows != nullptr)
        {
            rows[taken] =
                HighscoreEntry{static_cast<uint32_t>(rowStart), static_cast<uint32_t>(tab - rowStart),
                               readNumber(text, tab + 1, rowEnd)};
        }
        ++taken;
    }
    return taken;
}

void printCentred(Font* font, IntRect box, const std::string& text)
{
    font->print(box, TextAlign{0, 0}, "%s", text.c_str());
}
} // namespace

std::string Highscore::response;

Highscore::Highscore()
    : lastFrameTicks(0), font1(nullptr), font2(nullptr), font3(nullptr), buttonTexture(nullptr), phase(0.0f),
      videoDriver(nullptr), device(nullptr), enterSound(nullptr)
{
    device = Core::getDevice();
    videoDriver = device->getVideoDriver();
    enterSound = Core::getAudioDriver()->getSound("sounds/menu_enter.wav");
    font1 = videoDriver->getFont("textures/font1.png");
    font2 = videoDriver->getFont("textures/font2.png");
    font3 = videoDriver->getFont("textures/font3.png");
    buttonTexture = videoDriver->getTexture("textures/button-bg.png", true);
}

Highscore::~Highscore()
{
    clearEntries();
}

std::string Highscore::serverAddress()
{
    const char* host = std::getenv("QUARROW_HIGHSCORE_HOST");
    if (host == nullptr || *host == '\0')
    {
        host = QUARROW_DEFAULT_HIGHSCORE_HOST;
    }
    return std::string("http://") + host;
}

// clear() would keep the memory of the largest table so far for the rest of the run.
void Highscore::clearEntries()
{
    std::vector<HighscoreEntry>().swap(entries);
    std::string().swap(entryText);
}

size_t Highscore::writeCallback(char* data, size_t size, size_t count, void* /*user*/)
{
    const size_t bytes = size * count;
    const size_t taken = std::min(bytes, ANSWER_LIMIT - response.size());
    // Growing by doubling could reserve twice the limit for an answer that stops at it.
    if (response.size() + taken > response.capacity())
    {
        response.reserve(std::min(ANSWER_LIMIT, std::max(response.size() + taken, 2 * response.capacity())));
    }
    response.append(data, taken);
    // Taking less than offered makes the library end the transfer; what came so far stays.
    answerCut = answerCut || taken < bytes;
    return taken;
}

// clear() would keep the memory of the largest answer so far for the rest of the run.
void Highscore::releaseResponse()
{
    std::string().swap(response);
}

std::string Highscore::takeResponse()
{
    std::string answer;
    answer.swap(response);
    return answer;
}

bool Highscore::httpGet(const std::string& url)
{
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
    {
        showConnectionError();
        return false;
    }
    const long totalMs = totalTimeoutMs();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Highscore::writeCallback);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     totalMs < CONNECT_TIMEOUT_MS ? totalMs : CONNECT_TIMEOUT_MS);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalMs);
    releaseResponse();
    answerCut = false;
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (result == CURLE_WRITE_ERROR && answerCut)
    {
        Core::log("Highscore: answer longer than " + std::to_string(ANSWER_LIMIT) +
                  " bytes, the rest is not read");
        // A line cut short is not read as a shorter row: the answer ends at its last whole line.
        const size_t lastLineEnd = response.rfind('\n');
        if (lastLineEnd != std::string::npos)
        {
            response.erase(lastLineEnd + 1);
        }
        return true;
    }
    if (result != CURLE_OK)
    {
        releaseResponse();
        showConnectionError();
        return false;
    }
    return true;
}

void Highscore::start()
{
    Game* game = Core::getGame();
    clearEntries();
    showConnecting();
    if (!httpGet(serverAddress() + "/api/highscore/?app_id=1"))
    {
        game->setState(1, true);
        return;
    }
    std::string answer = takeResponse();
    // An empty answer is as much a refusal as "!" with no text.
    if (answer.empty() || answer[0] == '!')
    {
        showServerError(answer.empty() ? std::string() : answer.substr(1));
        game->setState(1, true);
        return;
    }
    readTable(std::move(answer));
}

// The names are not copied out: the answer itself is their text.
void Highscore::readTable(std::string answer)
{
    entryText = std::move(answer);
    // Counted first, so the rows are made once at their final size: grown by doubling, they
    // would take up to three times as much while they move.
    entries.resize(readRows(entryText, nullptr));
    readRows(entryText, entries.data());
    if (entries.empty())
    {
        clearEntries();
    }
}

void Highscore::submit()
{
    showConnecting();

    Game* game = Core::getGame();
    const std::string name = game->getUserManager()->getUserName();
    const int32_t others =
        game->getUserManager()->getTotalScore(static_cast<int32_t>(game->getLevel()->getCurrentLevel()));
    const uint16_t current = game->getPlayer()->getScore();
    // Wraps rather than overflows on absurd totals.
    const int32_t score = static_cast<int32_t>(static_cast<uint32_t>(others) + current);

    std::ostringstream scoreText;
    scoreText << score;
    const std::string hash = Crypt::md5(std::string(cryptSalt) + name + scoreText.str());
    const std::string url = serverAddress() + "/api/highscore/?action=submit&app_id=1&name=" + name +
                            "&score=" + scoreText.str() + "&hash=" + hash;
    if (!httpGet(url))
    {
        return;
    }
    const std::string answer = takeResponse();
    if (answer.empty() || answer[0] == '!')
    {
        showServerError(answer.empty() ? std::string() : answer.substr(1));
    }
    else
    {
        showSubmitted("you are the # " + answer + " on the highscore");
    }
}

void Highscore::update()
{
    phase += 0.003f;
    if (device->wasKeyPressed(KEY_ENTER) || device->wasKeyPressed(KEY_ESCAPE))
    {
        clearEntries();
        Core::getGame()->setState(1, true);
        Core::getGame()->getMenu()->startTransition();
    }
}

void Highscore::draw()
{
    videoDriver->setColor(0.0f, 0.0f, 0.0f, 0.85f);
    videoDriver->drawTexture(nullptr, Rect{0.0f, 0.0f, 1024.0f, 768.0f});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);

    videoDriver->pushMatrix();
    Vec2 titlePosition{512.0f, 90.0f};
    videoDriver->translate(titlePosition);
    videoDriver->scale(Vec2{1.5f, 1.5f});
    IntRect titleBox{-512, -20, 512, 20};
    font1->print(titleBox, TextAlign{0, 0}, "highscore");
    videoDriver->popMatrix();

    float y = 0.0f;
    for (const HighscoreEntry& entry : entries)
    {
        // Nothing further down can be seen; stopping keeps a frame short however long the list.
        if (150.0f + y >= WINDOW_BOTTOM)
        {
            break;
        }
        videoDriver->setColor(1.0f, 1.0f, 1.0f, 0.15f);
        videoDriver->drawTexture(nullptr, Rect{200.0f, 150.0f + y, 824.0f, 191.0f + y});
        videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
        const int32_t top = static_cast<int32_t>(150.0f + y);
        const int32_t bottom = static_cast<int32_t>(191.0f + y);
        IntRect nameBox{220, top, 804, bottom};
        // The name is not terminated in the answer: its length ends the print.
        const std::string_view name = getName(entry);
        font3->print(nameBox, TextAlign{255, 0}, "%.*s", static_cast<int>(name.size()), name.data());
        IntRect scoreBox{220, top, 804, bottom};
        font3->print(scoreBox, TextAlign{1, 0}, "%d", entry.score);
        y += 45.0f;
    }

    drawOkButton(Vec2{512.0f, 670.0f});
}

void Highscore::drawOkButton(const Vec2& centre)
{
    const float s = 1.1f + std::sin(phase / 3.14 * 180.0) / 40.0;
    videoDriver->pushMatrix();
    Vec2 position = centre;
    videoDriver->translate(position);
    videoDriver->drawTexture(buttonTexture, Rect{-149.0f, -37.0f, 149.0f, 37.0f});
    videoDriver->scale(Vec2{s, s});
    IntRect box{-149, -37, 149, 37};
    font1->print(box, TextAlign{0, 0}, "ok");
    videoDriver->popMatrix();
}

// One frame that stays on screen while the blocking transfer runs.
void Highscore::showConnecting()
{
    Core::getGame()->draw();
    videoDriver->setColor(0.0f, 0.0f, 0.0f, 0.9f);
    videoDriver->drawTexture(nullptr, Rect{0.0f, 0.0f, 1024.0f, 768.0f});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    printCentred(font1, IntRect{0, 0, 1024, 768}, "connecting...");
    device->swapBuffers();
}

void Highscore::showServerError(const std::string& text)
{
    runModal(screenServerError, text);
}

void Highscore::showSubmitted(const std::string& text)
{
    runModal(screenSubmitted, text);
}

void Highscore::showConnectionError()
{
    runModal(screenConnectionError, std::string());
}

// Takes the place of the main loop until the player closes the screen or the program is asked to end.
void Highscore::runModal(int screen, const std::string& text)
{
    for (;;)
    {
        if (device->wasKeyPressed(KEY_ENTER) || device->wasKeyPressed(KEY_ESCAPE) || !Core::isRunning())
        {
            enterSound->play();
            return;
        }
        if (!beginModalFrame())
        {
            continue;
        }
        switch (screen)
        {
        case screenServerError:
            printCentred(font1, IntRect{0, 340, 1024, 370}, "server error");
            printCentred(font2, IntRect{0, 370, 1024, 400}, text);
            drawOkButton(Vec2{512.0f, 470.0f});
            break;
        case screenSubmitted:
            printCentred(font1, IntRect{0, 340, 1024, 370}, "score submitted");
            printCentred(font2, IntRect{0, 370, 1024, 400}, text);
            drawOkButton(Vec2{512.0f, 470.0f});
            break;
        default:
            printCentred(font1, IntRect{0, 280, 1024, 310}, "quarrow couldn't connect to the internet");
            printCentred(font2, IntRect{0, 340, 1024, 370}, "please check your internet connection");
            printCentred(font2, IntRect{0, 370, 1024, 400}, "and your firewall settings!");
            drawOkButton(Vec2{512.0f, 500.0f});
            break;
        }
        pumpFrame();
    }
}

bool Highscore::beginModalFrame()
{
    const uint32_t now = device->getTicks();
    if (now < lastFrameTicks + 16)
    {
        return false;
    }
    lastFrameTicks = now;
    Core::getGame()->draw();
    phase += 0.003f;
    videoDriver->setColor(0.0f, 0.0f, 0.0f, 0.9f);
    videoDriver->drawTexture(nullptr, Rect{0.0f, 0.0f, 1024.0f, 768.0f});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    return true;
}

void Highscore::pumpFrame()
{
    Core::getAudioDriver()->update();
    device->processEvents();
    device->swapBuffers();
}
