// Shared test helpers.
#include "testing/testing.h"

namespace handset::testing {

::testing::AssertionResult HoldsNothing(const Device& d, DWORD pid) {
    for (auto& [kind, n] : d.HeldBy(pid))
        if (n != 0)
            return ::testing::AssertionFailure()
                   << "process " << pid << " holds " << d.DescribeHeld(pid);
    return ::testing::AssertionSuccess();
}

} // namespace handset::testing
