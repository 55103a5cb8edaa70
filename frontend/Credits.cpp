#include "Credits.h"

#include "AudioDriver.h"
#include "Core.h"
#include "Device.h"
#include "FileReader.h"
#include "Font.h"
#include "Game.h"
#include "Level.h"
#include "Menu.h"
#include "VideoDriver.h"

#include <unistd.h>

namespace
{
const int KEY_ESCAPE = 27;
const size_t LINE_LENGTH = 99;
// Some ten thousand lines: far more than any credits roll.
const size_t MAX_FILE_BYTES = 1024 * 1024;
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

// One line per text line, at most 99 characters. The read that fails or meets the end is kept too,
// and ends the list: a final line break leaves an empty last line, an overlong line ends the reading
// with its first 99 characters. A line ends at its first NUL, as it would in a C string.
void Credits::readLines()
{
    lines.clear();
    // CR LF is one line end, as a Windows text-mode stream delivers it.
    FileReader file("credits.txt", FileReader::text, MAX_FILE_BYTES);
    if (file.isOpen())
    {
        for (;;)
        {
            std::string line;
            while (line.size() < LINE_LENGTH && file.peek() >= 0 && file.peek() != '\n')
            {
                line.push_back(static_cast<char>(file.get()));
            }
            lines.push_back(line.c_str());
            if (file.peek() != '\n')
            {
                break; // the end, a read error or an overlong line
            }
            file.get();
        }
    }
    // A missing file is the normal case without credits; one that is there but cannot be read is
    // worth a line, and gives no credits either.
    if (file.overLimit())
    {
        // Far longer than any credits: keep the whole lines read so far.
        if (!lines.empty())
        {
            lines.pop_back();
        }
        Core::log("Credits: credits.txt is " + file.error() + ", the rest is not read");
    }
    else if (file.failed() && access("credits.txt", F_OK) == 0)
    {
        Core::log("Credits: can't read credits.txt: " + file.error());
        lines.clear();
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
