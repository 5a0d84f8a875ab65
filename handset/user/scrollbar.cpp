// The system's vertical scroll bar: layout, hit testing, thumb tracking and
// paint.
#include "user/scrollbar.h"

#include <algorithm>

#include "user/draw.h"

namespace handset {

namespace {

bool Inside(POINT p, const RECT& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

LONG Length(const RECT& r) {
    return r.bottom - r.top;
}

} // namespace

ScrollLayout LayOutScrollBar(const RECT& bar, const ScrollRange& range, int minThumb) {
    ScrollLayout l;
    l.bar = bar;
    LONG width = bar.right - bar.left;
    LONG arrow = std::min(width, Length(bar) / 2);
    l.up = {bar.left, bar.top, bar.right, bar.top + arrow};
    l.down = {bar.left, bar.bottom - arrow, bar.right, bar.bottom};
    l.track = {bar.left, l.up.bottom, bar.right, l.down.top};
    LONG track = Length(l.track);
    if (range.count <= 0 || track < minThumb) return l;
    LONG thumb =
        std::clamp<LONG>(track * std::min(range.page, range.count) / range.count, minThumb, track);
    LONG travel = track - thumb;
    int last = range.Last();
    int pos = std::clamp(range.pos, 0, last);
    LONG top = l.track.top + (last > 0 ? travel * pos / last : 0);
    l.thumb = {bar.left, top, bar.right, top + thumb};
    return l;
}

ScrollPart ScrollPartAt(const ScrollLayout& l, POINT p) {
    if (!Inside(p, l.bar)) return ScrollPart::None;
    if (Inside(p, l.up)) return ScrollPart::UpArrow;
    if (Inside(p, l.down)) return ScrollPart::DownArrow;
    if (Length(l.thumb) == 0) return ScrollPart::None;
    if (p.y < l.thumb.top) return ScrollPart::PageUp;
    if (p.y >= l.thumb.bottom) return ScrollPart::PageDown;
    return ScrollPart::Thumb;
}

int ScrollPosForThumb(const ScrollLayout& l, const ScrollRange& range, LONG thumbTop) {
    LONG travel = Length(l.track) - Length(l.thumb);
    int last = range.Last();
    if (travel <= 0 || last == 0) return 0;
    LONG moved = std::clamp<LONG>(thumbTop - l.track.top, 0, travel);
    return static_cast<int>((moved * last + travel / 2) / travel);
}

void PaintScrollBar(Painter& paint, const ScrollLayout& l, ScrollPart pressed) {
    auto button = [&](const RECT& r, bool down) {
        paint.Fill(r, down ? look::kShadow : look::kLight);
        paint.Frame(r, 1, look::kShadow);
    };
    paint.Fill(l.track, look::kTrack);
    if (pressed == ScrollPart::PageUp && Length(l.thumb))
        paint.Fill({l.track.left, l.track.top, l.track.right, l.thumb.top}, look::kLight);
    if (pressed == ScrollPart::PageDown && Length(l.thumb))
        paint.Fill({l.track.left, l.thumb.bottom, l.track.right, l.track.bottom}, look::kLight);
    paint.Fill({l.track.left, l.track.top, l.track.left + 1, l.track.bottom}, look::kShadow);
    button(l.up, pressed == ScrollPart::UpArrow);
    paint.UpArrow(l.up, look::kText);
    button(l.down, pressed == ScrollPart::DownArrow);
    paint.DownArrow(l.down, look::kText);
    if (Length(l.thumb)) button(l.thumb, pressed == ScrollPart::Thumb);
}

} // namespace handset
