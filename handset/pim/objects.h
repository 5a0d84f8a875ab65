// The Pocket Outlook objects of the contact store (objects.cpp).
#pragma once

#include <pimstore.h>

namespace handset {

class PimStore;

// A new application object, its one reference the caller's, made for the
// calling process under the given thread's COM.
IPOutlookApp* NewApplication(PimStore& store, DWORD apartment);

} // namespace handset
