// LocalAlloc, LocalFree and LocalSize over the handle table: a block is an
// entry under its own address.
#include "kernel/heap.h"

#include <algorithm>

#include "device/platform.h"
#include "device/relay.h"

using handset::Enter;
using handset::Fail;
using handset::kHeapBlock;
using handset::Platform;

namespace {

struct Block {
    std::unique_ptr<unsigned char[]> data;
    size_t size;
};

} // namespace

HANDSET_API(HLOCAL, LocalAlloc, (UINT uFlags, SIZE_T uBytes), (uFlags, uBytes)) {
    if (auto e = Enter("LocalAlloc")) return Fail(*e, HLOCAL(nullptr));
    if (uFlags & ~UINT(LMEM_MOVEABLE | LMEM_ZEROINIT))
        return Fail(ERROR_INVALID_PARAMETER, HLOCAL(nullptr));
    Platform& d = Platform::Current();
    // Zero-size blocks are real blocks, as LocalAlloc(0) gives one. Fresh
    // memory is filled with 0xCD, so that reading it uninitialised shows.
    size_t real = uBytes ? uBytes : 1;
    auto block = std::make_shared<Block>(Block{std::make_unique<unsigned char[]>(real), uBytes});
    std::fill(block->data.get(), block->data.get() + real, (uFlags & LMEM_ZEROINIT) ? 0x00 : 0xCD);
    void* p = block->data.get();
    d.handles().AddAt(reinterpret_cast<uintptr_t>(p), kHeapBlock, d.CurrentPid(), std::move(block));
    return p;
}

HANDSET_API(HLOCAL, LocalFree, (HLOCAL hMem), (hMem)) {
    if (!hMem) return nullptr;
    if (auto e = Enter("LocalFree")) return Fail(*e, hMem);
    if (!Platform::Current().handles().Remove(reinterpret_cast<uintptr_t>(hMem), kHeapBlock))
        return Fail(ERROR_INVALID_HANDLE, hMem);
    return nullptr;
}

HANDSET_API(SIZE_T, LocalSize, (HLOCAL hMem), (hMem)) {
    if (auto e = Enter("LocalSize")) return Fail(*e, SIZE_T(0));
    auto block =
        Platform::Current().handles().Get<Block>(reinterpret_cast<uintptr_t>(hMem), kHeapBlock);
    if (!block) return Fail(ERROR_INVALID_HANDLE, SIZE_T(0));
    return block->size;
}
