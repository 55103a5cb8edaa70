#pragma once

#include "MenuItem.h"

// A 0 to 100 setting changed with Left and Right; the bar is drawn right of the label.
class MenuItem_Slider : public MenuItem
{
  public:
    MenuItem_Slider(const std::string& id, const std::string& label);

    void update() override;
    void draw() override;

    void setValue(int v);
    int getValue() const;

    ~MenuItem_Slider() override;

  protected:
    int32_t value;
    Texture* bar;
};
