#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Device;
class Font;
class Texture;
class VideoDriver;

// One node of the menu tree: an entry, and a page as soon as it has children.
class MenuItem
{
  public:
    MenuItem(const std::string& id, const std::string& label);
    virtual ~MenuItem();

    // Paging with Up/Down, then every child's update. Called on the current page only.
    virtual void updatePage();
    virtual void update();
    // The visible children and the scroll arrows.
    virtual void drawPage();
    // One entry's text, centred on the current origin.
    virtual void draw();
    virtual std::string getText() const;

    // Appends and owns the child; returns its index.
    int addChild(MenuItem* child);
    int getChildCount() const;
    // Null outside 0..count-1.
    MenuItem* getChild(int index) const;
    MenuItem* getParent() const;
    // Null on a page without children.
    MenuItem* getSelectedChild() const;
    std::string getId() const;
    // Ignored outside 0..count-1.
    void select(int32_t index);
    void setSelected(bool isSelected);
    bool isDisabled() const;
    void setDisabled(bool isDisabled);
    void setLabel(const std::string& text);
    void setTitle(const std::string& text);
    std::string getTitle() const;
    // Depth-first search below this node; a hit becomes the menu's current page.
    bool openById(const std::string& wanted);
    // Destroys every child with its subtree.
    void clear();

  protected:
    std::string id;
    std::string label;
    std::string title;
    uint8_t selected;
    float phase;
    uint8_t disabled;
    // Indices into the page: as wide as any list of profiles can get.
    int32_t scrollFirst;
    uint16_t visibleRows;
    Device* device;
    VideoDriver* videoDriver;
    Font* font2;
    Font* font1;
    int32_t selectedIndex;
    std::vector<MenuItem*> children;
    Texture* moreUp;
    Texture* moreDown;
    MenuItem* parent;
};
