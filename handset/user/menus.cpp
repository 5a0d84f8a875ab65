// Menu resources, menu handles and the menu calls.
#include "user/menus.h"

#include <algorithm>
#include <utility>

#include "common/bytes.h"
#include "device/platform.h"
#include "device/relay.h"
#include "res/resources.h"
#include "user/window_manager.h"

namespace handset {

namespace {

constexpr int kDeepest = 16;

// Reads a menu resource. It never stands past the end: padding or a header
// cut off by the end stops there, so a failure names a byte of the menu or
// its end.
class MenuReader {
  public:
    MenuReader(std::span<const unsigned char> b, std::string_view name, std::string* error)
        : b_(b), name_(name), error_(error) {}

    bool Fail(size_t at, const std::string& what) {
        if (ok_) *error_ = std::string(name_) + ": byte " + std::to_string(at) + ": " + what;
        ok_ = false;
        return false;
    }
    bool Ok() const { return ok_; }
    size_t At() const { return at_; }
    void Skip(size_t n) { at_ += std::min(n, b_.size() - at_); }
    void Align() { at_ = std::min((at_ + 3) & ~size_t(3), b_.size()); }
    uint16_t Word() {
        if (!ok_) return 0;
        if (at_ + 2 > b_.size()) return Fail(at_, "cut off"), 0;
        at_ += 2;
        return GetLe16(b_.data() + at_ - 2);
    }
    uint32_t Dword() {
        if (!ok_) return 0;
        if (at_ + 4 > b_.size()) return Fail(at_, "cut off"), 0;
        at_ += 4;
        return GetLe32(b_.data() + at_ - 4);
    }
    std::u16string Text() {
        size_t start = at_;
        std::u16string s;
        while (ok_) {
            if (at_ + 2 > b_.size()) {
                Fail(start, "an item's text not ended before the end of the menu");
                break;
            }
            char16_t c = GetLe16(b_.data() + at_);
            at_ += 2;
            if (!c) break;
            s.push_back(c);
        }
        return s;
    }

    // The items of one level, up to the one marked last.
    bool Items(Menu* menu, int depth, bool extended) {
        if (depth > kDeepest) return Fail(at_, "menus nested deeper than 16");
        for (bool last = false; !last && ok_;) {
            MenuItem item;
            size_t start = at_;
            bool popup = false;
            if (extended) {
                Align();
                uint32_t type = Dword(), state = Dword();
                item.id = Dword();
                uint16_t resInfo = Word();
                item.text = Text();
                item.flags = (type & MFT_SEPARATOR) | (state & (MFS_GRAYED | MFS_CHECKED));
                last = resInfo & 0x80;
                popup = resInfo & 0x01;
                if (popup) {
                    Align();
                    Dword(); // the help id
                }
            } else {
                uint16_t flags = Word();
                last = flags & MF_END;
                popup = flags & MF_POPUP;
                if (!popup) item.id = Word();
                item.text = Text();
                item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
                // windres writes a separator as an item of id 0 without text.
                if (!popup && item.id == 0 && item.text.empty()) item.flags |= MF_SEPARATOR;
            }
            if (!ok_) return false;
            if (popup) {
                item.flags |= MF_POPUP;
                item.popup = std::make_shared<Menu>();
                if (at_ >= b_.size()) return Fail(start, "a popup without items");
                if (!Items(item.popup.get(), depth + 1, extended)) return false;
            }
            menu->items.push_back(std::move(item));
        }
        return ok_;
    }

  private:
    std::span<const unsigned char> b_;
    std::string_view name_;
    std::string* error_;
    size_t at_ = 0;
    bool ok_ = true;
};

void DropSubHandles(Platform& platform, Menu& menu) {
    for (MenuItem& item : menu.items) {
        if (item.handle)
            platform.handles().Remove(
                reinterpret_cast<uintptr_t>(std::exchange(item.handle, nullptr)), kMenu);
        if (item.popup) DropSubHandles(platform, *item.popup);
    }
}

} // namespace

void ReclaimMenu(Platform& platform, uintptr_t value, const HandleEntry& entry) {
    if (!entry.counted) return;
    if (auto menu = std::static_pointer_cast<Menu>(entry.object)) DropSubHandles(platform, *menu);
}

bool ParseMenu(std::span<const unsigned char> bytes, std::string_view name, Menu* out,
               std::string* error) {
    MenuReader r(bytes, name, error);
    uint16_t version = r.Word();
    uint16_t offset = r.Word();
    if (!r.Ok()) return false;
    Menu menu;
    if (version == 0) {
        r.Skip(offset);
        if (r.At() >= bytes.size()) return r.Fail(r.At(), "a menu without items");
        if (!r.Items(&menu, 0, false)) return false;
    } else if (version == 1) {
        // The offset counts from the end of its own field and passes the
        // help id.
        if (offset < 4) return r.Fail(2, "the items' offset " + std::to_string(offset));
        r.Skip(offset);
        if (!r.Ok() || r.At() >= bytes.size()) return r.Fail(r.At(), "a menu without items");
        if (!r.Items(&menu, 0, true)) return false;
    } else {
        return r.Fail(0, "version " + std::to_string(version) + " (0 for MENU, 1 for MENUEX)");
    }
    *out = std::move(menu);
    return true;
}

std::shared_ptr<Menu> LoadMenuResource(HINSTANCE instance, LPCWSTR name, DWORD* error) {
    Platform& p = Platform::Current();
    const ResFile* file = p.Get<Resources>().Find(instance);
    if (!file) {
        *error = p.IsModule(instance) ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_INVALID_HANDLE;
        return nullptr;
    }
    ResId id = ResId::FromPointer(name);
    const ResEntry* e = file->Find(kRtMenu, id, p.Get<Resources>().Language());
    if (!e) {
        *error = ERROR_RESOURCE_NAME_NOT_FOUND;
        return nullptr;
    }
    auto menu = std::make_shared<Menu>();
    std::string why;
    if (!ParseMenu(e->data, "menu " + id.Describe(), menu.get(), &why)) {
        p.timeline().Record("menu.refused", {{"menu", id.Describe()}, {"why", why}});
        *error = ERROR_INVALID_DATA;
        return nullptr;
    }
    return menu;
}

HMENU AddMenuHandle(Platform& platform, std::shared_ptr<Menu> menu) {
    return reinterpret_cast<HMENU>(
        platform.handles().Add(kMenu, platform.CurrentPid(), std::move(menu)));
}

std::shared_ptr<Menu> FindMenu(Platform& platform, HMENU handle) {
    return platform.handles().Get<Menu>(reinterpret_cast<uintptr_t>(handle), kMenu);
}

HMENU SubMenuHandle(Platform& platform, MenuItem& item) {
    if (!item.popup) return nullptr;
    if (!item.handle)
        item.handle = reinterpret_cast<HMENU>(
            platform.handles().Add(kMenu, platform.CurrentPid(), item.popup, /*counted=*/false));
    return item.handle;
}

bool RemoveMenu(Platform& platform, HMENU handle) {
    auto menu = FindMenu(platform, handle);
    if (!menu) return false;
    DropSubHandles(platform, *menu);
    return platform.handles().Remove(reinterpret_cast<uintptr_t>(handle), kMenu);
}

} // namespace handset

using handset::Enter;
using handset::Fail;
using handset::Platform;

HANDSET_API(HMENU, LoadMenuW, (HINSTANCE hInstance, LPCWSTR lpMenuName), (hInstance, lpMenuName)) {
    if (auto e = Enter("LoadMenuW")) return Fail(*e, HMENU(nullptr));
    if (!lpMenuName) return Fail(ERROR_INVALID_PARAMETER, HMENU(nullptr));
    DWORD error = 0;
    auto menu = handset::LoadMenuResource(hInstance, lpMenuName, &error);
    if (!menu) return Fail(error, HMENU(nullptr));
    return handset::AddMenuHandle(Platform::Current(), std::move(menu));
}

// A popup's handle goes with its menu: destroying it alone is refused
// (ERROR_INVALID_MENU_HANDLE), as is any other value that is no menu.
HANDSET_API(BOOL, DestroyMenu, (HMENU hMenu), (hMenu)) {
    if (auto e = Enter("DestroyMenu")) return Fail(*e, FALSE);
    const handset::HandleEntry* entry =
        Platform::Current().handles().Find(reinterpret_cast<uintptr_t>(hMenu), handset::kMenu);
    if (!entry || !entry->counted) return Fail(ERROR_INVALID_MENU_HANDLE, FALSE);
    handset::RemoveMenu(Platform::Current(), hMenu);
    return TRUE;
}

// Null, without an error, when the item at nPos opens no popup.
HANDSET_API(HMENU, GetSubMenu, (HMENU hMenu, int nPos), (hMenu, nPos)) {
    if (auto e = Enter("GetSubMenu")) return Fail(*e, HMENU(nullptr));
    auto menu = handset::FindMenu(Platform::Current(), hMenu);
    if (!menu) return Fail(ERROR_INVALID_MENU_HANDLE, HMENU(nullptr));
    if (nPos < 0 || nPos >= static_cast<int>(menu->items.size())) return nullptr;
    return handset::SubMenuHandle(Platform::Current(), menu->items[static_cast<size_t>(nPos)]);
}
