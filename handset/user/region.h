// A set of pixels as disjoint rectangles: the window manager's visible and
// update regions. The rectangles are kept in one canonical form (bands of
// equal height from top to bottom, spans from left to right, touching bands
// with the same spans joined), so two regions covering the same pixels are
// equal and list the same rectangles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace handset {

class Region {
  public:
    Region() = default;
    explicit Region(const RECT& r);
    // The union of any rectangles, overlapping or empty ones included.
    static Region Of(const std::vector<RECT>& rects);

    bool Empty() const { return rects_.empty(); }
    const std::vector<RECT>& Rects() const { return rects_; }
    // The smallest rectangle around it; all zero when empty.
    RECT Bounds() const;
    bool Contains(POINT p) const;

    Region& Add(const Region& other);
    Region& Subtract(const Region& other);
    Region& Intersect(const Region& other);
    Region& Offset(LONG dx, LONG dy);

    friend Region operator+(Region a, const Region& b) { return a.Add(b); }
    friend Region operator-(Region a, const Region& b) { return a.Subtract(b); }
    friend Region operator&(Region a, const Region& b) { return a.Intersect(b); }
    bool operator==(const Region& other) const;

    // "(l,t)-(r,b) ..." or "empty", for messages.
    std::string ToString() const;

  private:
    static std::vector<RECT> Canonical(const std::vector<RECT>& rects);
    std::vector<RECT> rects_;
};

std::string ToString(const RECT& r);

} // namespace handset
