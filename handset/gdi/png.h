// PNG files of the screen and of surfaces: written with libpng, 8 bits per
// channel, and read back for comparisons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gdi/surface.h"

namespace handset::gdi {

// 8-bit RGB pixels, rows top-down and packed.
struct Rgb888Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // width * height * 3
};

// 565 to 888 by repeating each channel's top bits into the low ones
// (FromRgb565), so that black and white stay exact.
Rgb888Image ToRgb888(const Surface& surface);

// Writes the whole surface (its clip plays no part), or an image. False and
// "PATH: cannot write PNG: REASON" in *error on failure; a failed write
// leaves no partial file behind.
bool WritePng(const std::string& path, const Surface& surface, std::string* error);
bool WritePng(const std::string& path, const Rgb888Image& image, std::string* error);

// Any PNG, converted to 8-bit RGB (alpha composited on black). False and
// "PATH: cannot read PNG: REASON" in *error, *image untouched, on failure.
bool ReadPng(const std::string& path, Rgb888Image* image, std::string* error);

} // namespace handset::gdi
