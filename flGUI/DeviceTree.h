#ifndef CORVANE_DEVICETREE_H
#define CORVANE_DEVICETREE_H

#include <FL/Fl_Tree.H>

class Fl_Scrollbar;

// The main form's tree. FLTK 1.3's tree (as Debian builds it) scrolls only
// vertically and clips what is wider than itself; this one adds a horizontal
// scrollbar of its own, shown when an open line is wider than the tree, so
// that every label can be read whole.
class DeviceTree : public Fl_Tree {
public:
    DeviceTree(int x, int y, int width, int height, const char* label);
    ~DeviceTree() override;

    void draw() override;
    int handle(int event) override;

    // How far the lines are scrolled to the left, in pixels.
    int horizontalOffset() const { return offset; }
    void horizontalOffset(int pixels);
    // The width of the widest open line, as last drawn.
    int contentWidth() const { return widest; }
    const Fl_Scrollbar& horizontalScrollbar() const { return *scrollbar; }

private:
    static void scrolled(Fl_Widget* scrollbar, void* tree);
    static void redrawNow(void* tree);
    int viewWidth() const;
    int widestOpenLine();

    Fl_Scrollbar* scrollbar;  // a child of the tree, which deletes it
    int baseMargin;
    int offset = 0;
    int widest = 0;
};

#endif
