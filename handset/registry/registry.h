// The device's registry. (Being built: only the shell exists so far.)
#pragma once

#include "device/device.h"

namespace handset {

class Registry {
public:
    explicit Registry(Device& device) : device_(device) {}

private:
    Device& device_;
};

} // namespace handset
