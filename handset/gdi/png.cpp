// PNG writing and reading through libpng's simplified API, which reports
// errors in the image's message instead of jumping out of our frames.
#include "gdi/png.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace handset::gdi {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

Rgb888Image ToRgb888(const Surface& surface) {
    Rgb888Image image;
    image.width = surface.width;
    image.height = surface.height;
    image.rgb.resize(static_cast<size_t>(surface.width) * surface.height * 3);
    uint8_t* out = image.rgb.data();
    for (int y = 0; y < surface.height; ++y) {
        const uint16_t* row = surface.Row(y);
        for (int x = 0; x < surface.width; ++x) {
            COLORREF c = FromRgb565(row[x]);
            *out++ = static_cast<uint8_t>(c);
            *out++ = static_cast<uint8_t>(c >> 8);
            *out++ = static_cast<uint8_t>(c >> 16);
        }
    }
    return image;
}

bool WritePng(const std::string& path, const Surface& surface, std::string* error) {
    return WritePng(path, ToRgb888(surface), error);
}

bool WritePng(const std::string& path, const Rgb888Image& image, std::string* error) {
    auto fail = [&](const std::string& reason) {
        if (error) *error = path + ": cannot write PNG: " + reason;
        return false;
    };
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != static_cast<size_t>(image.width) * image.height * 3)
        return fail("the image is " + std::to_string(image.width) + " x " +
                    std::to_string(image.height) + " with " + std::to_string(image.rgb.size()) +
                    " bytes of pixels");
    // Written beside the target and renamed over it when complete, so a
    // failure keeps whatever the path held before.
    std::string part = path + ".part";
    File f(std::fopen(part.c_str(), "wb"));
    if (!f) return fail(std::strerror(errno));
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    bool ok = png_image_write_to_stdio(&png, f.get(), 0, image.rgb.data(), 0, nullptr);
    std::string reason = ok ? "" : png.message;
    png_image_free(&png);
    if (ok && std::fflush(f.get()) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (std::fclose(f.release()) != 0 && ok) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (ok && std::rename(part.c_str(), path.c_str()) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (!ok) {
        std::remove(part.c_str());
        return fail(reason);
    }
    return true;
}

bool ReadPng(const std::string& path, Rgb888Image* image, std::string* error) {
    auto fail = [&](const std::string& reason) {
        if (error) *error = path + ": cannot read PNG: " + reason;
        return false;
    };
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return fail(std::strerror(errno));
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_stdio(&png, f.get())) {
        std::string reason = png.message;
        png_image_free(&png);
        return fail(reason);
    }
    png.format = PNG_FORMAT_RGB;
    // Zeroed, so that alpha composites onto black.
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
        std::string reason = png.message;
        png_image_free(&png);
        return fail(reason);
    }
    image->width = static_cast<int>(png.width);
    image->height = static_cast<int>(png.height);
    image->rgb = std::move(rgb);
    return true;
}

} // namespace handset::gdi
