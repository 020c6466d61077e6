#include "DeviceTree.h"

#include <FL/Fl.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Tree_Item.H>
#include <FL/fl_draw.H>

#include <algorithm>

DeviceTree::DeviceTree(int x, int y, int width, int height, const char* label)
    : Fl_Tree(x, y, width, height, label), baseMargin(marginleft())
{
    scrollbar = new Fl_Scrollbar(x, y + height - Fl::scrollbar_size(), width, Fl::scrollbar_size());
    scrollbar->type(FL_HORIZONTAL);
    scrollbar->callback(scrolled, this);
    scrollbar->hide();
    Fl_Group::add(scrollbar);
}

void DeviceTree::scrolled(Fl_Widget* scrollbar, void* tree)
{
    static_cast<DeviceTree*>(tree)->horizontalOffset(static_cast<Fl_Scrollbar*>(scrollbar)->value());
}

void DeviceTree::horizontalOffset(int pixels)
{
    pixels = std::max(0, std::min(pixels, widest - viewWidth()));
    if (pixels == offset)
        return;
    offset = pixels;
    redraw();
}

int DeviceTree::viewWidth() const
{
    const int verticalBar = _vscroll->visible() ? Fl::scrollbar_size() : 0;
    return w() - Fl::box_dw(box()) - verticalBar;
}

// Items know where their labels were drawn; the text's own width, with the
// scrolling undone, gives the width each line needs.
int DeviceTree::widestOpenLine()
{
    const int left = x() + Fl::box_dx(box());
    int right = 0;
    for (Fl_Tree_Item* item = first(); item; item = item->next()) {
        if (!item->visible_r() || (item == root() && !showroot()) || !item->label())
            continue;
        fl_font(item->labelfont(), item->labelsize());
        const int textWidth = static_cast<int>(fl_width(item->label()) + 0.5);
        right = std::max(right, item->label_x() + textWidth - left + offset);
    }
    return right > 0 ? right + baseMargin : 0;
}

void DeviceTree::draw()
{
    const int fullHeight = h();
    const int barHeight = Fl::scrollbar_size();
    const bool scrolls = scrollbar->visible();

    // The tree draws itself above the scrollbar's band, with its lines
    // shifted left by the offset; the box is drawn whole first.
    if (scrolls) {
        draw_box(box(), x(), y(), w(), fullHeight, color());
        h(fullHeight - barHeight);
    }
    marginleft(baseMargin - offset);
    Fl_Tree::draw();
    h(fullHeight);

    widest = widestOpenLine();
    const bool needed = widest > viewWidth();
    offset = std::min(offset, std::max(0, widest - viewWidth()));  // 0 when nothing is wider
    if (needed) {
        const int verticalBar = _vscroll->visible() ? Fl::scrollbar_size() : 0;
        scrollbar->resize(x() + Fl::box_dx(box()), y() + fullHeight - Fl::box_dy(box()) - barHeight,
                          w() - Fl::box_dw(box()) - verticalBar, barHeight);
        scrollbar->value(offset, viewWidth(), 0, widest);
        scrollbar->linesize(20);
        scrollbar->show();
        draw_child(*scrollbar);
    } else {
        scrollbar->hide();
    }
    // The band for the scrollbar appears or goes: draw once more. A redraw
    // asked for inside draw() is lost, so ask right after it.
    if (needed != scrolls)
        Fl::add_timeout(0.0, redrawNow, this);
}

void DeviceTree::redrawNow(void* tree)
{
    static_cast<DeviceTree*>(tree)->redraw();
}

DeviceTree::~DeviceTree()
{
    Fl::remove_timeout(redrawNow, this);
}

int DeviceTree::handle(int event)
{
    if (scrollbar->visible()) {
        switch (event) {
        case FL_PUSH:
        case FL_DRAG:
        case FL_RELEASE:
            if (event == FL_PUSH && Fl::event_inside(scrollbar)) {
                Fl::pushed(scrollbar);  // the drag and release go to it directly
                return scrollbar->handle(event);
            }
            break;
        case FL_MOUSEWHEEL:
            if (Fl::event_dx()) {
                horizontalOffset(offset + Fl::event_dx() * 20);
                return 1;
            }
            break;
        }
    }
    return Fl_Tree::handle(event);
}
