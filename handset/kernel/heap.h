// The local heap: one block per LocalAlloc, owned by the calling process and
// taken back when it ends.
#pragma once

#include "device/handles.h"

namespace handset {

inline constexpr HandleKind kHeapBlock{"heap block", "heap blocks"};

} // namespace handset
