// Text: Tahoma's metrics as GetTextMetricsW gives them at the sizes the
// programs use, and the widths of texts at the sizes where Tahoma has
// bitmap strikes (judged by the strikes' own advances, see text_table.h).
#include "conformance.h"

#include <string.h>

#include "text_table.h"

namespace {

HFONT MakeTahoma(int em, int bold) {
    LOGFONTW description;
    memset(&description, 0, sizeof description);
    description.lfHeight = -em;
    description.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    wcscpy(description.lfFaceName, TEXT("Tahoma"));
    return CreateFontIndirectW(&description);
}

const char* Name(const TextSize& size) {
    return size.bold ? "bold" : "normal";
}

void TahomaMetrics() {
    HDC dc = CreateCompatibleDC(NULL);
    for (int i = 0; i < CONFORMANCE_COUNT(kTextSizes); ++i) {
        const TextSize& size = kTextSizes[i];
        HFONT font = MakeTahoma(size.em, size.bold);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW m;
        memset(&m, 0, sizeof m);
        Observe(GetTextMetricsW(dc, &m), "%s%d.result", Name(size), size.em);
        Observe(m.tmHeight, "%s%d.tmHeight", Name(size), size.em);
        Observe(m.tmAscent, "%s%d.tmAscent", Name(size), size.em);
        Observe(m.tmDescent, "%s%d.tmDescent", Name(size), size.em);
        Observe(m.tmInternalLeading, "%s%d.tmInternalLeading", Name(size), size.em);
        Observe(m.tmExternalLeading, "%s%d.tmExternalLeading", Name(size), size.em);
        Observe(m.tmAveCharWidth, "%s%d.tmAveCharWidth", Name(size), size.em);
        Observe(m.tmMaxCharWidth, "%s%d.tmMaxCharWidth", Name(size), size.em);
        Observe(m.tmWeight, "%s%d.tmWeight", Name(size), size.em);
        Observe(m.tmItalic, "%s%d.tmItalic", Name(size), size.em);
        Observe(m.tmPitchAndFamily, "%s%d.tmPitchAndFamily", Name(size), size.em);
        Observe(m.tmCharSet, "%s%d.tmCharSet", Name(size), size.em);
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

void WidthsAtBitmapSizes() {
    HDC dc = CreateCompatibleDC(NULL);
    for (int i = 0; i < CONFORMANCE_COUNT(kTextSizes); ++i) {
        const TextSize& size = kTextSizes[i];
        HFONT font = MakeTahoma(size.em, size.bold);
        HGDIOBJ old = SelectObject(dc, font);
        for (int s = 0; s < CONFORMANCE_COUNT(kTextSamples); ++s) {
            WCHAR text[64];
            int n = 0;
            for (; kTextSamples[s][n] != 0; ++n)
                text[n] = (WCHAR)kTextSamples[s][n];
            text[n] = 0;
            SIZE extent = {0, 0};
            GetTextExtentPoint32W(dc, text, n, &extent);
            Observe(extent.cx, "%s%d.[%d].cx", Name(size), size.em, s);
            Observe(extent.cy, "%s%d.[%d].cy", Name(size), size.em, s);
        }
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

// Above the strikes Tahoma is drawn from its outlines, scaled without
// hinting, each advance rounded: Wine measures these as GDI does.
void WidthsAtOutlineSizes() {
    static const TextSize kOutlineSizes[] = {{18, 0}, {24, 0}, {32, 0}, {18, 1}, {24, 1}, {32, 1}};
    HDC dc = CreateCompatibleDC(NULL);
    for (int i = 0; i < CONFORMANCE_COUNT(kOutlineSizes); ++i) {
        const TextSize& size = kOutlineSizes[i];
        HFONT font = MakeTahoma(size.em, size.bold);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW m;
        GetTextMetricsW(dc, &m);
        Observe(m.tmHeight, "%s%d.tmHeight", Name(size), size.em);
        Observe(m.tmAscent, "%s%d.tmAscent", Name(size), size.em);
        Observe(m.tmAveCharWidth, "%s%d.tmAveCharWidth", Name(size), size.em);
        for (int s = 0; s < CONFORMANCE_COUNT(kTextSamples); ++s) {
            WCHAR text[64];
            int n = 0;
            for (; kTextSamples[s][n] != 0; ++n)
                text[n] = (WCHAR)kTextSamples[s][n];
            text[n] = 0;
            SIZE extent = {0, 0};
            GetTextExtentPoint32W(dc, text, n, &extent);
            Observe(extent.cx, "%s%d.[%d].cx", Name(size), size.em, s);
        }
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

// Every face name is Tahoma on the phone; an unknown one and the dialog
// font give Tahoma's metrics.
void OtherNamesGiveTahoma() {
    static const WCHAR* const kNames[] = {TEXT("MS Shell Dlg"), TEXT("Tahoma")};
    HDC dc = CreateCompatibleDC(NULL);
    for (int i = 0; i < CONFORMANCE_COUNT(kNames); ++i) {
        LOGFONTW description;
        memset(&description, 0, sizeof description);
        description.lfHeight = -11;
        wcscpy(description.lfFaceName, kNames[i]);
        HFONT font = CreateFontIndirectW(&description);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW m;
        GetTextMetricsW(dc, &m);
        Observe(m.tmHeight, "[%d].tmHeight", i);
        Observe(m.tmAveCharWidth, "[%d].tmAveCharWidth", i);
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

const ConformanceCase kCases[] = {
    {"TahomaMetrics", TahomaMetrics, NULL},
    {"WidthsAtBitmapSizes", WidthsAtBitmapSizes, NULL},
    {"WidthsAtOutlineSizes", WidthsAtOutlineSizes, NULL},
    {"OtherNamesGiveTahoma", OtherNamesGiveTahoma, NULL},
};

} // namespace

extern const ConformanceArea kTextArea = {"text", kCases, CONFORMANCE_COUNT(kCases)};
