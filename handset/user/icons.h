// Icons from a program's resources as the system's windows draw them (a
// static control's SS_ICON): the image of an icon group that suits a size,
// decoded from its bitmap into ARGB pixels, the AND mask making the
// transparent ones.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "res/resfile.h"

namespace handset {

struct IconPixels {
    int width = 0, height = 0;
    std::vector<uint32_t> argb; // rows top-down; alpha 0 is transparent
};

// A 1, 4 or 8-bit palette image, or a 24 or 32-bit one, with its AND mask
// (a 32-bit image's own alpha when any pixel has some). False with
// "byte N: what" when ReadIconImage refuses it.
bool DecodeIconImage(std::span<const unsigned char> image, IconPixels* out, std::string* error);

// The group's image for a size, as LoadIcon picks on a 16-bit display: the
// one of that size, else the smallest larger one, else the largest; among
// those of one size the deepest of at most 16 bits per pixel, else the
// shallowest deeper one. False with *error when the group is missing or its
// image does not decode.
bool LoadIconPixels(const ResFile& file, const ResId& group, int size, uint16_t language,
                    IconPixels* out, std::string* error);

} // namespace handset
