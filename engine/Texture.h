#pragma once

#include <cstdint>
#include <string>

// One picture in an OpenGL texture. Created and owned by the drawing driver's texture cache.
class Texture
{
  public:
    explicit Texture(const std::string& name);
    // The OpenGL texture itself is freed by VideoDriver::dropTexture.
    ~Texture();

    // Called by the loader once the picture is in OpenGL.
    void set(uint32_t id, uint16_t width, uint16_t height);
    // Back to not loaded; the name stays.
    void reset();

    uint32_t getId() const;
    uint16_t getWidth() const;
    uint16_t getHeight() const;
    bool isLoaded() const;
    std::string getName() const;

  private:
    std::string name;
    uint32_t id;
    bool loaded;
    uint16_t width;
    uint16_t height;
};
