// The Platform's life: the one current phone, the areas it has made, the
// last error, and the end of everything at power-off.
#include "device/platform.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace handset {

namespace {
Platform* g_platform = nullptr;
} // namespace

Thread::Thread() : KernelObject(Kind::Thread) {}
Thread::~Thread() = default;

Platform::Platform(DWORD bootTick) : bootTick_(bootTick), timeline_(*this) {
    if (g_platform) Fatal("a second Device was made while one still lives");
    g_platform = this;
}

Platform::~Platform() {
    shuttingDown_ = true;
    // End what still runs, newest process first, so that nothing is left
    // waiting on a condition variable that is about to go away.
    for (auto it = processes_.rbegin(); it != processes_.rend(); ++it)
        for (Thread* t : it->second->threads)
            if (t->state != Thread::State::Exited) Kill(t, 0);
    for (auto& [id, t] : threads_)
        if (t->real.joinable()) t->real.join();
    // Areas go newest first: each outlives those made after it. Each leaves
    // the list before it goes, so that it is no longer found.
    tearingDown_ = true;
    while (!areas_.empty()) {
        std::unique_ptr<Area> last = std::move(areas_.back().second);
        areas_.pop_back();
        last.reset();
    }
    g_platform = nullptr;
}

Platform& Platform::Current() {
    if (!g_platform) Fatal("a platform call was made with no Device");
    return *g_platform;
}

Platform* Platform::CurrentOrNull() {
    return g_platform;
}

void Platform::Fatal(const std::string& message) {
    std::fprintf(stderr, "handset: fatal: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

DWORD& Platform::LastError() {
    return current_ ? current_->lastError : driverLastError_;
}

Area* Platform::FindArea(const void* key) const {
    for (auto& [k, area] : areas_)
        if (k == key) return area.get();
    return nullptr;
}

void Platform::AskedInTeardown(const std::type_info& area) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(area.name(), nullptr, nullptr, &status), std::free);
    Fatal(std::string("the area ") + (name ? name.get() : area.name()) +
          " was asked for while the areas are torn down; look it up with Find<>() instead");
}

void Platform::AddArea(const void* key, std::unique_ptr<Area> area) {
    areas_.emplace_back(key, std::move(area));
}

} // namespace handset
