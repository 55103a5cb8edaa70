#include "Texture.h"

Texture::Texture(const std::string& name) : name(name), id(0), loaded(false), width(0), height(0) {}

Texture::~Texture() = default;

void Texture::set(uint32_t id, uint16_t width, uint16_t height)
{
    this->id = id;
    this->width = width;
    this->height = height;
    loaded = true;
}

void Texture::reset()
{
    id = 0;
    width = 0;
    height = 0;
    loaded = false;
}

uint32_t Texture::getId() const
{
    return id;
}

uint16_t Texture::getWidth() const
{
    return width;
}

uint16_t Texture::getHeight() const
{
    return height;
}

bool Texture::isLoaded() const
{
    return loaded;
}

std::string Texture::getName() const
{
    return name;
}
