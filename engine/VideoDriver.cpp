#include "VideoDriver.h"

#include "Core.h"
#include "Device.h"
#include "Exception.h"
#include "Font.h"
#include "PngLoader.h"
#include "Texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

VideoDriver::VideoDriver(uint16_t width, uint16_t height)
    : cursor(resolutions.end()), boundTexture(nullptr), color{1.0f, 1.0f, 1.0f, 1.0f}, viewportWidth(0.0f),
      viewportHeight(0.0f)
{
    Core::log("VideoDriver: init");

    // The largest centred 4:3 area; the threshold is 1.33, so a 1.332 window takes the wide rule.
    const float w = width;
    const float h = height;
    if (static_cast<double>(width) / height < 1.33)
    {
        viewportWidth = w;
        viewportHeight = 0.75 * w;
    }
    else
    {
        viewportHeight = h;
        viewportWidth = 1.333333333333 * h;
    }
    const float x = (w - viewportWidth) * 0.5;
    const float y = (h - viewportHeight) * 0.5;

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // One unit is one viewport pixel, origin top left, y downwards.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, viewportWidth, viewportHeight, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glViewport(static_cast<GLint>(x), static_cast<GLint>(y), static_cast<GLsizei>(viewportWidth),
               static_cast<GLsizei>(viewportHeight));

    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    Core::getDevice()->swapBuffers();

    setColor(1.0f, 1.0f, 1.0f, 1.0f);
    boundTexture = nullptr;
}

VideoDriver::~VideoDriver()
{
    for (auto& entry : textures)
    {
        dropTexture(entry.second);
        delete entry.second;
    }
    textures.clear();
    // The fonts' textures went with the texture cache.
    for (auto& entry : fonts)
    {
        delete entry.second;
    }
    fonts.clear();
    Core::log("VideoDriver: done");
}

void VideoDriver::setColor(float r, float g, float b, float a)
{
    color[0] = r;
    color[1] = g;
    color[2] = b;
    color[3] = a;
}

void VideoDriver::toScreen(Rect& rect) const
{
    const float sx = viewportWidth * 0.0009765625f;
    const float sy = viewportHeight / 768.0f;
    rect.left = static_cast<int>(rect.left * sx);
    rect.right = static_cast<int>(rect.right * sx);
    rect.top = static_cast<int>(rect.top * sy);
    rect.bottom = static_cast<int>(rect.bottom * sy);
}

void VideoDriver::toScreen(Vec2& point) const
{
    const float sx = viewportWidth * 0.0009765625f;
    const float sy = viewportHeight / 768.0f;
    point.x = static_cast<int>(point.x * sx);
    point.y = static_cast<int>(point.y * sy);
}

void VideoDriver::begin()
{
    glBegin(GL_QUADS);
}

void VideoDriver::end()
{
    glEnd();
}

void VideoDriver::drawQuad(Rect& rect, const Rect& texRect)
{
    toScreen(rect);
    glColor4f(color[0], color[1], color[2], color[3]);
    glTexCoord2f(texRect.left, texRect.top);
    glVertex3f(rect.left, rect.top, 0);
    glTexCoord2f(texRect.right, texRect.top);
    glVertex3f(rect.right, rect.top, 0);
    glTexCoord2f(texRect.right, texRect.bottom);
    glVertex3f(rect.right, rect.bottom, 0);
    glTexCoord2f(texRect.left, texRect.bottom);
    glVertex3f(rect.left, rect.bottom, 0);
}

void VideoDriver::bindTexture(Texture* texture)
{
    boundTexture = texture;
    if (texture == nullptr)
    {
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    else if (texture->isLoaded())
    {
        glBindTexture(GL_TEXTURE_2D, texture->getId());
    }
}

void VideoDriver::drawTexture(Texture* texture, const Rect& rect, const Rect& texRect)
{
    Rect quad = rect;
    const Rect part = texRect;
    bindTexture(texture);
    begin();
    drawQuad(quad, part);
    end();
}

void VideoDriver::drawTexture(Texture* texture, const Rect& rect)
{
    drawTexture(texture, rect, {0.0f, 0.0f, 1.0f, 1.0f});
}

void VideoDriver::drawTexture(Texture* texture)
{
    const float width = texture != nullptr ? texture->getWidth() : 0.0f;
    const float height = texture != nullptr ? texture->getHeight() : 0.0f;
    drawTexture(texture, {0.0f, 0.0f, width, height});
}

void VideoDriver::pushMatrix()
{
    glPushMatrix();
}

void VideoDriver::popMatrix()
{
    glPopMatrix();
}

void VideoDriver::translate(Vec2& offset)
{
    toScreen(offset);
    glTranslatef(offset.x, offset.y, 0);
}

void VideoDriver::rotate(float degrees)
{
    glRotatef(degrees, 0, 0, 1);
}

void VideoDriver::scale(const Vec2& factors)
{
    glScalef(factors.x, factors.y, 1);
}

void VideoDriver::clear()
{
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}

Texture* VideoDriver::getTexture(const std::string& file, bool repeat)
{
    const auto it = textures.find(file);
    if (it != textures.end())
    {
        return it->second;
    }
    Texture* texture = loadTexture(file, repeat);
    textures[file] = texture;
    if (!texture->isLoaded())
    {
        Core::log("VideoDriver error: Can't load " + file);
    }
    return texture;
}

Texture* VideoDriver::loadTexture(std::string file, bool repeat)
{
    Texture* texture = new Texture(file);

    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, repeat ? GL_REPEAT : GL_CLAMP);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, repeat ? GL_REPEAT : GL_CLAMP);

    pngInfo info = {0, 0, 0, 0};
    if (pngLoad(file.c_str(), PNG_BUILDMIPMAPS, PNG_ALPHA, &info) != 0)
    {
        texture->set(id, static_cast<uint16_t>(info.Width), static_cast<uint16_t>(info.Height));
        Core::log("VideoDriver: " + file + " loaded (" + std::to_string(texture->getWidth()) + "x" +
                  std::to_string(texture->getHeight()) + ")");
    }
    else
    {
        // Nothing will ever bind this name again.
        glDeleteTextures(1, &id);
    }
    return texture;
}

void VideoDriver::dropTexture(Texture* texture)
{
    if (texture == nullptr || !texture->isLoaded())
    {
        return;
    }
    const GLuint id = texture->getId();
    glDeleteTextures(1, &id);
    texture->reset();
    Core::log("VideoDriver: " + texture->getName() + " dropped");
}

Font* VideoDriver::getFont(const std::string& file)
{
    auto it = fonts.find(file);
    if (it == fonts.end())
    {
        it = fonts.emplace(file, new Font(file)).first;
    }
    Font* font = it->second;
    try
    {
        if (!font->isLoaded())
        {
            font->load();
        }
    }
    catch (Exception* e)
    {
        Core::log("VideoDriver error: " + e->getMessage());
        delete e;
    }
    return font;
}

void VideoDriver::addResolution(const Resolution& resolution)
{
    resolutions.push_back(resolution);
}

static Resolution noResolution()
{
    return {0, 0, std::string()};
}

Resolution VideoDriver::firstResolution()
{
    cursor = resolutions.begin();
    return cursor != resolutions.end() ? *cursor : noResolution();
}

Resolution VideoDriver::nextResolution()
{
    if (cursor != resolutions.end())
    {
        ++cursor;
    }
    return cursor != resolutions.end() ? *cursor : noResolution();
}

Resolution VideoDriver::findResolution(const std::string& name)
{
    for (cursor = resolutions.begin(); cursor != resolutions.end(); ++cursor)
    {
        if (cursor->name == name)
        {
            return *cursor;
        }
    }
    return noResolution();
}

const float* VideoDriver::getColor() const
{
    return color;
}

float VideoDriver::getViewportWidth() const
{
    return viewportWidth;
}

float VideoDriver::getViewportHeight() const
{
    return viewportHeight;
}
