// The vertical scroll bar the system draws inside its own windows (a combo
// box's dropped list): where its parts are for a range, a page and a
// position, which part a point is on, where a dragged thumb puts the
// position, and its look.
//
// As Windows CE lays it out: an arrow button at each end, as high as the bar
// is wide (SM_CXVSCROLL: 13 pixels at 96 dpi), or half the bar each when it
// is shorter than two; the track between them; in the track the thumb,
// whose length is the track's share that the page is of the range, at least
// 8 pixels at 96 dpi, and none when the track has no room for it.
#pragma once

#include <windows.h>

namespace handset {

class Painter;

struct ScrollRange {
    int count = 0; // the items
    int page = 1;  // how many are in sight at once
    int pos = 0;   // the first in sight: 0 to count - page
    int Last() const { return count > page ? count - page : 0; }
};

enum class ScrollPart { None, UpArrow, PageUp, Thumb, PageDown, DownArrow };

struct ScrollLayout {
    RECT bar = {}, up = {}, down = {}, track = {};
    RECT thumb = {}; // empty when the track has no room for one
};

// The parts of the bar in `bar`; minThumb is the thumb's least length.
ScrollLayout LayOutScrollBar(const RECT& bar, const ScrollRange& range, int minThumb);
ScrollPart ScrollPartAt(const ScrollLayout& layout, POINT p);
// The position that puts the thumb's top at thumbTop, to the nearest item.
int ScrollPosForThumb(const ScrollLayout& layout, const ScrollRange& range, LONG thumbTop);
// Draws the bar, the pressed part pushed in.
void PaintScrollBar(Painter& paint, const ScrollLayout& layout, ScrollPart pressed);

} // namespace handset
