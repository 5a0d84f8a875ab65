// The texts and sizes whose widths the text area measures. Wine's Tahoma
// has embedded bitmap strikes at these sizes (8 to 16 pixels; the bold face
// from 9), so the width of a text is the sum of the strikes' advances: the
// font's own answer, which font.cpp reads from the file to judge the
// handset by (Wine's measure disagrees with its own drawing there).
#ifndef CONFORMANCE_TEXT_TABLE_H
#define CONFORMANCE_TEXT_TABLE_H

struct TextSize {
    int em; // pixels: lfHeight is its negative
    int bold;
};

static const TextSize kTextSizes[] = {
    {11, 0}, {12, 0}, {13, 0}, {16, 0}, {11, 1}, {12, 1}, {13, 1}, {16, 1},
};

// ASCII, so that both sides spell them alike.
static const char* const kTextSamples[] = {
    "Tessaril",
    "Press the Center button",
    "to unlock the screen",
    "Temporary unlock period:",
    "+441234567890",
    "00:12:34",
    "Program settings saved.",
    "WWW iii",
};

#endif
