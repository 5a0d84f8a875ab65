// DIB sections, FillRect and BitBlt: the lock picture's frame surface is a
// top-down RGB565 DIB section in a memory device context, filled and copied
// with these, so their pixels are what the user sees.
#include "conformance.h"

#include <string.h>

namespace {

struct Bitmap565 {
    BITMAPINFOHEADER header;
    DWORD masks[3];
};

// A w x h 5-6-5 DIB section, top-down unless bottomUp, selected into a new
// memory device context.
struct Surface {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    WORD* bits;
    int width, height, stride;
};

Surface MakeSurface(int width, int height, BOOL bottomUp) {
    Surface s;
    memset(&s, 0, sizeof s);
    Bitmap565 info;
    memset(&info, 0, sizeof info);
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = bottomUp ? height : -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 16;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    void* bits = NULL;
    s.dc = CreateCompatibleDC(NULL);
    s.bitmap = CreateDIBSection(s.dc, (BITMAPINFO*)&info, DIB_RGB_COLORS, &bits, NULL, 0);
    s.bits = (WORD*)bits;
    s.old = SelectObject(s.dc, s.bitmap);
    s.width = width;
    s.height = height;
    s.stride = (width * 2 + 3) / 4 * 4;
    return s;
}

void Free(Surface& s) {
    SelectObject(s.dc, s.old);
    DeleteObject(s.bitmap);
    DeleteDC(s.dc);
}

// The pixel at x, y of a top-down surface.
WORD Pixel(const Surface& s, int x, int y) {
    return *(const WORD*)((const BYTE*)s.bits + y * s.stride + x * 2);
}

void Fill(Surface& s, int left, int top, int right, int bottom, COLORREF colour) {
    RECT r = {left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(s.dc, &r, brush);
    DeleteObject(brush);
}

void DibSectionsDescribeThemselves() {
    static const int kWidths[] = {1, 2, 3, 240};
    for (int i = 0; i < CONFORMANCE_COUNT(kWidths); ++i) {
        Surface s = MakeSurface(kWidths[i], 5, FALSE);
        Observe(s.bitmap != NULL, "[%d].created", i);
        Observe(s.bits != NULL, "[%d].bits", i);
        BITMAP b;
        memset(&b, 0, sizeof b);
        Observe(GetObjectW(s.bitmap, sizeof b, &b), "[%d].get_object", i);
        Observe(b.bmWidth, "[%d].bmWidth", i);
        Observe(b.bmHeight, "[%d].bmHeight", i);
        Observe(b.bmWidthBytes, "[%d].bmWidthBytes", i);
        Observe(b.bmPlanes, "[%d].bmPlanes", i);
        Observe(b.bmBitsPixel, "[%d].bmBitsPixel", i);
        Observe(b.bmBits == s.bits, "[%d].bmBits_are_the_bits", i);
        BOOL zero = TRUE;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < kWidths[i]; ++x)
                zero &= Pixel(s, x, y) == 0;
        Observe(zero, "[%d].starts_black", i);
        Free(s);
    }
}

// COLORREF to 5-6-5: each channel keeps its top bits.
void FillRectColours() {
    static const COLORREF kColours[] = {
        RGB(0, 0, 0),       RGB(255, 255, 255),    RGB(255, 0, 0),    RGB(0, 255, 0),
        RGB(0, 0, 255),     RGB(7, 3, 7),          RGB(8, 4, 8),      RGB(128, 128, 128),
        RGB(255, 254, 253), RGB(0x12, 0x34, 0x56), RGB(200, 100, 50), RGB(0x80, 0x40, 0x20),
    };
    Surface s = MakeSurface(4, 4, FALSE);
    for (int i = 0; i < CONFORMANCE_COUNT(kColours); ++i) {
        Fill(s, 0, 0, 4, 4, kColours[i]);
        ObserveHex(Pixel(s, 1, 1), "[%d].pixel", i);
    }
    Free(s);
}

// What FillRect covers: left and top in, right and bottom out, clipped to
// the surface; an empty rectangle covers nothing.
void FillRectCoversItsRectangle() {
    struct Case {
        int left, top, right, bottom;
    };
    static const Case kCases[] = {
        {2, 1, 5, 4}, {-3, -3, 2, 2}, {6, 6, 20, 20}, {3, 3, 3, 6}, {-10, 0, 20, 1},
    };
    for (int i = 0; i < CONFORMANCE_COUNT(kCases); ++i) {
        Surface s = MakeSurface(8, 8, FALSE);
        const Case& c = kCases[i];
        Fill(s, c.left, c.top, c.right, c.bottom, RGB(255, 255, 255));
        // Each row's covered columns as a bit mask, bit x for column x.
        for (int y = 0; y < 8; ++y) {
            long mask = 0;
            for (int x = 0; x < 8; ++x)
                if (Pixel(s, x, y) != 0) mask |= 1L << x;
            ObserveHex(mask, "[%d].row[%d]", i, y);
        }
        Free(s);
    }
}

void BottomUpSectionsKeepTheLastRowFirst() {
    Surface s = MakeSurface(4, 3, TRUE);
    Fill(s, 0, 0, 4, 1, RGB(255, 0, 0)); // the top row on the screen
    ObserveHex(s.bits[0], "first_word_in_memory");
    ObserveHex(*(const WORD*)((const BYTE*)s.bits + 2 * s.stride), "last_row_in_memory");
    Free(s);
}

// BitBlt copies a rectangle, clipped to both surfaces.
void BitBltCopiesAndClips() {
    Surface source = MakeSurface(8, 8, FALSE);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            *(WORD*)((BYTE*)source.bits + y * source.stride + x * 2) = (WORD)(y * 8 + x + 1);
    struct Case {
        int x, y, cx, cy, sx, sy;
    };
    static const Case kCases[] = {
        {0, 0, 8, 8, 0, 0},   {2, 3, 3, 2, 4, 1}, {6, 6, 5, 5, 0, 0},
        {-2, -1, 4, 4, 0, 0}, {0, 0, 4, 4, 6, 6},
    };
    for (int i = 0; i < CONFORMANCE_COUNT(kCases); ++i) {
        const Case& c = kCases[i];
        Surface target = MakeSurface(8, 8, FALSE);
        Observe(BitBlt(target.dc, c.x, c.y, c.cx, c.cy, source.dc, c.sx, c.sy, SRCCOPY),
                "[%d].result", i);
        static const int kProbes[][2] = {{0, 0}, {1, 0}, {2, 3}, {4, 4}, {5, 4}, {7, 7}, {6, 6}};
        for (int p = 0; p < CONFORMANCE_COUNT(kProbes); ++p)
            Observe(Pixel(target, kProbes[p][0], kProbes[p][1]), "[%d].pixel(%d,%d)", i,
                    kProbes[p][0], kProbes[p][1]);
        Free(target);
    }
    Free(source);
}

// The setters answer with what was set before; a new device context starts
// with black text on white, opaque.
void DeviceContextStateAnswersWithThePrevious() {
    Surface s = MakeSurface(8, 8, FALSE);
    ObserveHex(SetTextColor(s.dc, RGB(1, 2, 3)), "text_colour.initial");
    ObserveHex(SetTextColor(s.dc, RGB(4, 5, 6)), "text_colour.previous");
    ObserveHex(SetBkColor(s.dc, RGB(7, 8, 9)), "background_colour.initial");
    ObserveHex(SetBkColor(s.dc, RGB(0, 0, 0)), "background_colour.previous");
    Observe(SetBkMode(s.dc, TRANSPARENT), "background_mode.initial");
    Observe(SetBkMode(s.dc, OPAQUE), "background_mode.previous");
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ first = SelectObject(s.dc, brush);
    Observe(first == GetStockObject(WHITE_BRUSH), "brush.initial_is_white");
    Observe(SelectObject(s.dc, first) == brush, "brush.previous");
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    HGDIOBJ firstPen = SelectObject(s.dc, pen);
    Observe(firstPen == GetStockObject(BLACK_PEN), "pen.initial_is_black");
    SelectObject(s.dc, firstPen);
    DeleteObject(pen);
    DeleteObject(brush);
    Free(s);
}

// Rectangle: the pen on the edges, left and top in, right and bottom out;
// the brush inside.
void RectangleDrawsPenAndBrush() {
    Surface s = MakeSurface(8, 8, FALSE);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldPen = SelectObject(s.dc, pen);
    HGDIOBJ oldBrush = SelectObject(s.dc, brush);
    Observe(Rectangle(s.dc, 1, 1, 6, 5), "result");
    for (int y = 0; y < 7; ++y) {
        long row = 0;
        for (int x = 0; x < 8; ++x) {
            WORD p = Pixel(s, x, y);
            row |= (p == 0xFFFF ? 1L : p == 0x001F ? 2L : 0L) << (2 * x);
        }
        ObserveHex(row, "row[%d]", y); // two bits a column: 1 pen, 2 brush
    }
    SelectObject(s.dc, GetStockObject(NULL_BRUSH));
    Fill(s, 0, 0, 8, 8, RGB(0, 0, 0));
    Rectangle(s.dc, 0, 0, 4, 4);
    Observe(Pixel(s, 1, 1), "hollow.inside");
    Observe(Pixel(s, 0, 1) == 0xFFFF, "hollow.edge");
    SelectObject(s.dc, oldBrush);
    SelectObject(s.dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
    Free(s);
}

void StockObjectsAndDeletion() {
    Observe(GetStockObject(WHITE_BRUSH) != NULL, "white_brush");
    Observe(GetStockObject(BLACK_BRUSH) != NULL, "black_brush");
    Observe(GetStockObject(NULL_BRUSH) != NULL, "null_brush");
    Observe(GetStockObject(SYSTEM_FONT) != NULL, "system_font");
    Observe(DeleteObject(GetStockObject(WHITE_BRUSH)), "delete_stock");
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    Observe(DeleteObject(brush), "delete_brush");
    SetLastError(0);
    Observe(DeleteObject(NULL), "delete_null");
    HDC dc = CreateCompatibleDC(NULL);
    Observe(GetDeviceCaps(dc, LOGPIXELSY) > 0, "memory_dc.logpixelsy");
    Observe(DeleteDC(dc), "delete_dc");
}

const ConformanceCase kCases[] = {
    {"DibSectionsDescribeThemselves", DibSectionsDescribeThemselves, NULL},
    {"FillRectColours", FillRectColours, NULL},
    {"FillRectCoversItsRectangle", FillRectCoversItsRectangle, NULL},
    {"BottomUpSectionsKeepTheLastRowFirst", BottomUpSectionsKeepTheLastRowFirst, NULL},
    {"BitBltCopiesAndClips", BitBltCopiesAndClips, NULL},
    {"DeviceContextStateAnswersWithThePrevious", DeviceContextStateAnswersWithThePrevious, NULL},
    {"RectangleDrawsPenAndBrush", RectangleDrawsPenAndBrush, NULL},
    {"StockObjectsAndDeletion", StockObjectsAndDeletion, NULL},
};

} // namespace

extern const ConformanceArea kGdiArea = {"gdi", kCases, CONFORMANCE_COUNT(kCases)};
