#pragma once

#include "MenuItem.h"

// The text entry a new player types a name into: letters and digits only.
class MenuItem_Input : public MenuItem
{
  public:
    MenuItem_Input(const std::string& id, const std::string& label);

    void update() override;
    // The text with a blinking cursor while selected.
    std::string getText() const override;
    // The typed text without cursor.
    virtual std::string getValue() const;

  protected:
    uint16_t lengthLimit;
};
