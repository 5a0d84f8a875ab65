// Regions as canonical bands of rectangles. The handset's regions hold a
// few dozen rectangles at most, so each operation simply rebuilds the
// canonical form from the pieces it made.
#include "user/region.h"

#include <algorithm>

namespace handset {

namespace {

bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT Clip(const RECT& a, const RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// The parts of r outside cut: up to four rectangles.
void Cut(const RECT& r, const RECT& cut, std::vector<RECT>* out) {
    RECT c = Clip(r, cut);
    if (IsEmpty(c)) {
        out->push_back(r);
        return;
    }
    if (r.top < c.top) out->push_back({r.left, r.top, r.right, c.top});
    if (c.bottom < r.bottom) out->push_back({r.left, c.bottom, r.right, r.bottom});
    if (r.left < c.left) out->push_back({r.left, c.top, c.left, c.bottom});
    if (c.right < r.right) out->push_back({c.right, c.top, r.right, c.bottom});
}

} // namespace

Region::Region(const RECT& r) {
    if (!IsEmpty(r)) rects_.push_back(r);
}

Region Region::Of(const std::vector<RECT>& rects) {
    Region region;
    region.rects_ = Canonical(rects);
    return region;
}

std::vector<RECT> Region::Canonical(const std::vector<RECT>& rects) {
    std::vector<LONG> ys;
    for (const RECT& r : rects)
        if (!IsEmpty(r)) {
            ys.push_back(r.top);
            ys.push_back(r.bottom);
        }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    struct Band {
        LONG top, bottom;
        std::vector<std::pair<LONG, LONG>> spans;
    };
    std::vector<Band> bands;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        LONG top = ys[i], bottom = ys[i + 1];
        std::vector<std::pair<LONG, LONG>> covered;
        for (const RECT& r : rects)
            if (!IsEmpty(r) && r.top <= top && r.bottom >= bottom)
                covered.emplace_back(r.left, r.right);
        std::sort(covered.begin(), covered.end());
        std::vector<std::pair<LONG, LONG>> spans;
        for (const auto& s : covered) {
            if (!spans.empty() && s.first <= spans.back().second)
                spans.back().second = std::max(spans.back().second, s.second);
            else
                spans.push_back(s);
        }
        if (spans.empty()) continue;
        if (!bands.empty() && bands.back().bottom == top && bands.back().spans == spans)
            bands.back().bottom = bottom;
        else
            bands.push_back({top, bottom, std::move(spans)});
    }
    std::vector<RECT> out;
    for (const Band& b : bands)
        for (const auto& [left, right] : b.spans)
            out.push_back({left, b.top, right, b.bottom});
    return out;
}

RECT Region::Bounds() const {
    if (rects_.empty()) return {0, 0, 0, 0};
    RECT b = rects_.front();
    for (const RECT& r : rects_) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

bool Region::Contains(POINT p) const {
    return std::any_of(rects_.begin(), rects_.end(), [&](const RECT& r) {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    });
}

Region& Region::Add(const Region& other) {
    if (other.Empty()) return *this;
    std::vector<RECT> all = rects_;
    all.insert(all.end(), other.rects_.begin(), other.rects_.end());
    rects_ = Canonical(all);
    return *this;
}

Region& Region::Subtract(const Region& other) {
    if (other.Empty() || Empty()) return *this;
    std::vector<RECT> pieces = rects_;
    for (const RECT& cut : other.rects_) {
        std::vector<RECT> next;
        for (const RECT& r : pieces)
            Cut(r, cut, &next);
        pieces = std::move(next);
    }
    rects_ = Canonical(pieces);
    return *this;
}

Region& Region::Intersect(const Region& other) {
    std::vector<RECT> pieces;
    for (const RECT& a : rects_)
        for (const RECT& b : other.rects_)
            if (RECT c = Clip(a, b); !IsEmpty(c)) pieces.push_back(c);
    rects_ = Canonical(pieces);
    return *this;
}

Region& Region::Offset(LONG dx, LONG dy) {
    for (RECT& r : rects_) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
    return *this;
}

bool Region::operator==(const Region& other) const {
    return std::equal(rects_.begin(), rects_.end(), other.rects_.begin(), other.rects_.end(),
                      [](const RECT& a, const RECT& b) {
                          return a.left == b.left && a.top == b.top && a.right == b.right &&
                                 a.bottom == b.bottom;
                      });
}

std::string ToString(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

std::string Region::ToString() const {
    if (rects_.empty()) return "empty";
    std::string text;
    for (const RECT& r : rects_)
        text += (text.empty() ? "" : " ") + handset::ToString(r);
    return text;
}

} // namespace handset
