// The GDI calls as device code meets them: BitBlt's clipping on both sides,
// which way a DIB section's rows run, what GetObjectW reports, the rules of
// selecting and deleting, text metrics through the calls, and what a process
// leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "device/device.h"
#include "gdi/gdi.h"
#include "testing/testing.h"

using handset::Device;

namespace {

struct Dib {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    WORD* bits = nullptr;
};

// A 16-bit 5-6-5 DIB section in a memory context; height < 0 is top-down.
Dib MakeDib(int width, int height) {
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info = {{sizeof(BITMAPINFOHEADER), width, height, 1, 16, BI_BITFIELDS},
              {0xF800, 0x07E0, 0x1F}};
    Dib d;
    d.dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    d.bitmap = CreateDIBSection(d.dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                nullptr, 0);
    d.bits = static_cast<WORD*>(bits);
    EXPECT_TRUE(d.dc && d.bitmap && d.bits);
    EXPECT_TRUE(SelectObject(d.dc, d.bitmap));
    return d;
}

// Pixel (x, y) counted from the top, whichever way the rows lie in memory.
WORD& At(const Dib& d, int x, int y) {
    BITMAP bm;
    GetObjectW(d.bitmap, sizeof bm, &bm);
    DIBSECTION ds;
    GetObjectW(d.bitmap, sizeof ds, &ds);
    int row = ds.dsBmih.biHeight < 0 ? y : bm.bmHeight - 1 - y;
    return d.bits[row * bm.bmWidthBytes / 2 + x];
}

} // namespace

TEST(BitBlt, CopiesWhatLiesInsideBothBitmaps) {
    constexpr int SW = 8, SH = 6, DW = 10, DH = 8;
    struct Case {
        int line;
        int x, y, cx, cy, x1, y1;
    } cases[] = {
        {__LINE__, 1, 1, 4, 3, 2, 2},   // inside both
        {__LINE__, -3, -2, 8, 6, 0, 0}, // off the destination's top left
        {__LINE__, 7, 5, 8, 8, 0, 0},   // off its bottom right
        {__LINE__, 2, 2, 8, 8, 4, 3},   // the source runs out first
        {__LINE__, 0, 0, 6, 6, -2, -3}, // the source starts before its bitmap
        {__LINE__, 0, 0, 0, 5, 0, 0},   // nothing wide
        {__LINE__, 0, 0, 20, 20, 0, 0}, // the whole source
        {__LINE__, 12, 0, 4, 4, 0, 0},  // wholly off the destination
    };
    Device d;
    d.Call([&] {
        for (const Case& c : cases) {
            SCOPED_TRACE("line " + std::to_string(c.line));
            Dib src = MakeDib(SW, -SH), dst = MakeDib(DW, DH);
            for (int y = 0; y < SH; ++y)
                for (int x = 0; x < SW; ++x)
                    At(src, x, y) = WORD(1 + y * 16 + x);
            for (int y = 0; y < DH; ++y)
                for (int x = 0; x < DW; ++x)
                    At(dst, x, y) = 0xFFFF;
            EXPECT_TRUE(BitBlt(dst.dc, c.x, c.y, c.cx, c.cy, src.dc, c.x1, c.y1, SRCCOPY));
            for (int y = 0; y < DH; ++y)
                for (int x = 0; x < DW; ++x) {
                    int u = x - c.x, v = y - c.y, sx = c.x1 + u, sy = c.y1 + v;
                    bool copied = u >= 0 && u < c.cx && v >= 0 && v < c.cy && sx >= 0 && sx < SW &&
                                  sy >= 0 && sy < SH;
                    WORD want = copied ? WORD(1 + sy * 16 + sx) : WORD(0xFFFF);
                    ASSERT_EQ(want, At(dst, x, y)) << "at " << x << "," << y;
                }
            for (Dib* b : {&src, &dst}) {
                DeleteDC(b->dc);
                DeleteObject(b->bitmap);
            }
        }
    });
}

TEST(CreateDIBSection, RowsRunAsTheHeightsSignSays) {
    struct Case {
        int line;
        int height;
        int firstRowInMemory; // which row, from the top, the bits start with
    } cases[] = {{__LINE__, -4, 0}, {__LINE__, 4, 3}};
    Device d;
    d.Call([&] {
        for (const Case& c : cases) {
            SCOPED_TRACE("line " + std::to_string(c.line));
            Dib dib = MakeDib(3, c.height);
            // Row r from the top is filled with colour r + 1, through GDI.
            for (int r = 0; r < 4; ++r) {
                HBRUSH brush = CreateSolidBrush(RGB(0, 0, (r + 1) * 8));
                RECT row = {0, r, 3, r + 1};
                FillRect(dib.dc, &row, brush);
                DeleteObject(brush);
            }
            EXPECT_EQ(WORD(c.firstRowInMemory + 1), dib.bits[0]);
            DIBSECTION ds;
            ASSERT_EQ(int(sizeof ds), GetObjectW(dib.bitmap, sizeof ds, &ds));
            EXPECT_EQ(8, ds.dsBm.bmWidthBytes) << "3 pixels in a DWORD-aligned row";
            EXPECT_EQ(4, ds.dsBm.bmHeight);
            EXPECT_EQ(c.height, ds.dsBmih.biHeight);
            EXPECT_EQ(static_cast<void*>(dib.bits), ds.dsBm.bmBits);
            // A copy one row down within the bitmap reads each row before
            // it is overwritten, whichever way the rows lie.
            EXPECT_TRUE(BitBlt(dib.dc, 0, 1, 3, 3, dib.dc, 0, 0, SRCCOPY));
            std::string rows;
            for (int r = 0; r < 4; ++r)
                rows += std::to_string(At(dib, 2, r));
            EXPECT_EQ("1123", rows);
            DeleteDC(dib.dc);
            DeleteObject(dib.bitmap);
        }
    });
}

TEST(GdiObjects, SelectAndDeleteAsTheDocumentsSay) {
    Device d;
    DWORD pid = 0;
    d.Call([&] {
        pid = GetCurrentProcessId();
        Dib a = MakeDib(4, 4);
        HDC b = CreateCompatibleDC(nullptr);
        HDC screen = GetDC(nullptr);
        // A bitmap is in one memory context at a time, and never in a screen's.
        EXPECT_EQ(nullptr, SelectObject(b, a.bitmap));
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
        EXPECT_EQ(nullptr, SelectObject(screen, a.bitmap));
        // What is selected cannot be deleted; once deselected it can.
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        HGDIOBJ white = SelectObject(b, brush);
        EXPECT_EQ(GetStockObject(WHITE_BRUSH), white);
        EXPECT_FALSE(DeleteObject(brush));
        EXPECT_EQ(brush, SelectObject(b, white));
        EXPECT_TRUE(DeleteObject(brush));
        EXPECT_FALSE(DeleteObject(brush)) << "twice";
        // Stock objects: deleting succeeds and changes nothing.
        EXPECT_TRUE(DeleteObject(white));
        EXPECT_EQ(white, GetStockObject(WHITE_BRUSH));
        LOGBRUSH lb;
        EXPECT_EQ(int(sizeof lb), GetObjectW(white, sizeof lb, &lb));
        EXPECT_EQ(RGB(255, 255, 255), lb.lbColor);
        EXPECT_EQ(nullptr, GetStockObject(12)) << "ANSI_VAR_FONT, which the phone lacks";
        // The screen's context goes back through ReleaseDC, for its window only.
        EXPECT_FALSE(DeleteDC(screen));
        EXPECT_EQ(0, ReleaseDC(reinterpret_cast<HWND>(0x1234), screen));
        EXPECT_EQ(1, ReleaseDC(nullptr, screen));
        // Deleting the context frees its bitmap for another.
        EXPECT_TRUE(DeleteDC(a.dc));
        EXPECT_TRUE(SelectObject(b, a.bitmap));
        EXPECT_TRUE(DeleteDC(b));
        EXPECT_TRUE(DeleteObject(a.bitmap));
    });
    EXPECT_NOTHING_HELD(d, pid);
}

TEST(GdiObjects, WhatAProcessLeavesIsCountedAndReclaimed) {
    Device d;
    d.Get<handset::Gdi>();
    size_t stock = d.handles().CountOf(handset::kGdiObject);
    DWORD pid = d.StartProcess("leaky", [] {
        Dib dib = MakeDib(16, -16);
        GetDC(nullptr);
        CreateSolidBrush(RGB(9, 9, 9));
        CreatePen(PS_SOLID, 1, 0);
        LOGFONTW lf = {-16};
        SelectObject(dib.dc, CreateFontIndirectW(&lf));
        GetStockObject(BLACK_BRUSH); // stock objects are nobody's
        return DWORD(0);
    });
    ASSERT_TRUE(d.RunUntilExit(pid, 1000));
    EXPECT_EQ("4 GDI objects, 2 device contexts", d.DescribeHeld(pid));
    EXPECT_EQ(0u, d.handles().CountOf(handset::kDeviceContext));
    EXPECT_EQ(stock, d.handles().CountOf(handset::kGdiObject)) << "only the stock objects are left";
}

TEST(GetTextMetricsW, TheSelectedFontsMetrics) {
    struct Case {
        int line;
        LONG lfHeight, lfWeight;
        LONG height, ascent, internalLeading;
        LONG extent; // "Press the Center button"
    } cases[] = {
        {__LINE__, -16, FW_NORMAL, 19, 16, 3, 166},
        {__LINE__, -16, FW_BOLD, 19, 16, 3, 166},
        {__LINE__, 19, FW_NORMAL, 19, 16, 3, 166}, // a cell height
        {__LINE__, -32, FW_BOLD, 39, 32, 7, 377},
    };
    Device d;
    d.Call([&] {
        HDC dc = CreateCompatibleDC(nullptr);
        for (const Case& c : cases) {
            SCOPED_TRACE("line " + std::to_string(c.line));
            LOGFONTW lf = {};
            lf.lfHeight = c.lfHeight;
            lf.lfWeight = c.lfWeight;
            HFONT font = CreateFontIndirectW(&lf);
            HGDIOBJ previous = SelectObject(dc, font);
            TEXTMETRICW tm = {};
            ASSERT_TRUE(GetTextMetricsW(dc, &tm));
            EXPECT_EQ(c.height, tm.tmHeight);
            EXPECT_EQ(c.ascent, tm.tmAscent);
            EXPECT_EQ(c.internalLeading, tm.tmInternalLeading);
            EXPECT_EQ(c.lfWeight, tm.tmWeight);
            SIZE size = {};
            const WCHAR text[] = u"Press the Center button";
            ASSERT_TRUE(GetTextExtentPoint32W(dc, text, int(std::size(text)) - 1, &size));
            EXPECT_EQ(c.extent, size.cx);
            EXPECT_EQ(c.height, size.cy);
            SelectObject(dc, previous);
            DeleteObject(font);
        }
        DeleteDC(dc);
    });
}
