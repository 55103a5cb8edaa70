#pragma once

#include <cstdint>
#include <utility>

class VideoDriver;

// The window, its OpenGL context and the keyboard. Key codes are SDL 1.2 key codes.
class Device
{
  public:
    // Opens the window in the configured video mode; a mode the display refuses falls back to a
    // 1024 x 768 window, which is stored in the configuration. Throws Exception* when even that
    // cannot be opened.
    Device();
    // Deletes the drawing driver, then shuts the window library down.
    ~Device();

    // Creates the drawing driver for the window, then probes the full-screen modes.
    void initVideo();
    void checkResolutions();
    VideoDriver* getVideoDriver() const;

    // Once per step: forgets the previous step's presses and drains the window's events.
    void processEvents();

    // Held now.
    bool isKeyDown(int32_t key) const;
    // Pressed during this step; consumes the press, so only the first reader sees it.
    bool wasKeyPressed(int32_t key);
    // Any press in this step; consumes only the lowest-numbered one.
    bool anyKeyPressed();
    // The key of this step's last key-down event, 0 when none. Reading does not consume it.
    int32_t getLastKey() const;
    bool isShiftDown() const;
    bool isCtrlDown() const;
    bool isAltDown() const;
    // Delay and interval in milliseconds; a delay of 0 switches repeat off.
    void setKeyRepeat(int32_t delay, int32_t interval);
    void clearPressed();

    // Milliseconds since the window library started.
    uint32_t getTicks() const;
    // Shows the frame and starts the next one black.
    void swapBuffers();

    // The configured mode: width and height, height alone, bits per pixel.
    std::pair<uint16_t, uint16_t> getSize() const;
    uint16_t getHeight() const;
    uint8_t getBpp() const;

    static const int keyCount = 400;

  private:
    VideoDriver* videoDriver;
    uint8_t pressed[keyCount];
    const uint8_t* keyState;
    int32_t lastKey;
    uint16_t width;
    uint16_t height;
    uint8_t bpp;
};
