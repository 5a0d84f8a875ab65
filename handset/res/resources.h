// The programs' resources as the platform's resource functions see them:
// each registered program is given its compiled .res image once, and every
// process of the program finds it through its module handle. The image is
// read and checked when it is attached; FindResourceW, LoadResource,
// SizeofResource and LoadStringW (calls.cpp) look in it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "device/area.h"
#include "res/resfile.h"

namespace handset {

class Resources final : public Area {
  public:
    // English (United States), the language of the phone's user interface
    // unless a test says otherwise.
    static constexpr uint16_t kDefaultLanguage = 0x0409;

    explicit Resources(Platform& platform);
    ~Resources();

    // ---- Driving: for tests and scenarios -------------------------------
    // Gives the program registered under exePath its resources: a .res
    // image, copied, shared by all its processes, so that the addresses
    // LoadResource hands out stay valid for the device's life. False, with
    // nothing changed, when no program is registered there, when it already
    // has resources, or when the image is malformed ("SOURCE: byte N: what").
    bool Attach(std::u16string_view exePath, std::span<const unsigned char> res,
                std::string_view source, std::string* error);
    // The resources of the module, or null when it has none.
    const ResFile* Find(HINSTANCE module) const;

    // The language FindResourceW and LoadStringW prefer (ResFile::Find's
    // order: that language, neutral, the same primary language, any).
    void SetLanguage(uint16_t language) { language_ = language; }
    uint16_t Language() const { return language_; }

    // ---- For the resource functions ---------------------------------------
    // The string's address below 2 GB, where it fits LoadStringW's int
    // result, preceded by its length as in the string table; null when the
    // host gives no memory there.
    const char16_t* LowString(HINSTANCE module, uint32_t id);

  private:
    struct LowCopy; // the module's string tables, copied below 2 GB
    struct Module {
        ResFile file;
        std::unique_ptr<LowCopy> low;
        Module();
        ~Module();
    };
    std::map<HINSTANCE, Module> modules_;
    uint16_t language_ = kDefaultLanguage;
};

} // namespace handset
