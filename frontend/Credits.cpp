#include "Credits.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "Font.h"
#include "Game.h"
#include "Level.h"
#include "Menu.h"
#include "VideoDriver.h"

#include <fstream>
#include <sstream>

namespace
{
const int KEY_ESCAPE = 27;
const std::streamsize LINE_BUFFER = 100; // at most 99 characters a line
} // namespace

Credits::Credits()
    : videoDriver(nullptr), creditsPicture(nullptr), creditsBackground(nullptr), font1(nullptr),
      font2(nullptr), scrollY(600.0f), wrapBelow(0.0f)
{
    videoDriver = Core::getDevice()->getVideoDriver();
    font1 = videoDriver->getFont("textures/font1.png");
    font2 = videoDriver->getFont("textures/font2.png");
}

Credits::~Credits()
{
    lines.clear();
}

// One line per text line. The read that fails or meets the end is kept too, and ends the list:
// a final line break leaves an empty last line, an overlong line ends the reading.
void Credits::readLines()
{
    lines.clear();
    std::ifstream file("credits.txt", std::ios::binary);
    if (!file.is_open())
    {
        return;
    }
    // A file written on Windows reads as a text-mode stream would deliver it: CR LF is one line end.
    std::string text;
    char c;
    while (file.get(c))
    {
        if (c == '\r' && file.peek() == '\n')
        {
            continue;
        }
        text.push_back(c);
    }
    std::istringstream stream(text);
    while (stream.good())
    {
        char buffer[LINE_BUFFER] = {};
        stream.getline(buffer, LINE_BUFFER);
        lines.push_back(buffer);
    }
}

void Credits::start()
{
    Game* game = Core::getGame();
    // The next level file's music line starts its music again.
    game->getLevel()->setMusic("");
    game->drawLoading();

    creditsPicture = videoDriver->getTexture("textures/credits.png", true);
    creditsBackground = videoDriver->getTexture("textures/credits-bg.png", false);

    readLines();
    scrollY = 600.0f;
    wrapBelow = -35.0f * static_cast<float>(lines.size());

    Core::getAudioDriver()->playMusic("music/Credits.ogg", 0.0f);
}

void Credits::update()
{
    scrollY -= 0.405f;
    if (scrollY < wrapBelow)
    {
        scrollY = 760.0f;
    }
    if (Core::getDevice()->wasKeyPressed(KEY_ESCAPE))
    {
        Game* game = Core::getGame();
        game->getMenu()->startTransition();
        game->setState(1, true);
    }
}

void Credits::draw()
{
    if (creditsBackground != nullptr)
    {
        videoDriver->drawTexture(creditsBackground, Rect{0.0f, 0.0f, 1024.0f, 768.0f});
    }

    float y = scrollY;
    bool heading = false;
    for (const std::string& line : lines)
    {
        y += 35.0f;
        if (y < 0.0f || y > 760.0f)
        {
            continue;
        }
        if (line.empty())
        {
            heading = true;
            continue;
        }
        // Lines fade out between y 130 and y 30 as they rise.
        const float alpha = y < 130.0f ? (y - 30.0f) / 100.0f : 1.0f;
        videoDriver->setColor(1.0f, 1.0f, 1.0f, alpha);
        IntRect box{430, static_cast<int32_t>(y), 1024, static_cast<int32_t>(y + 35.0f)};
        (heading ? font2 : font1)->print(box, TextAlign{255, 255}, "%s", line.c_str());
        heading = false;
    }

    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    if (creditsPicture != nullptr)
    {
        videoDriver->drawTexture(creditsPicture, Rect{0.0f, 0.0f, 1024.0f, 768.0f});
    }
}
