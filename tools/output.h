// What the build-time generators share: writing their one output file and
// saying which file failed.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

namespace tools {

// Writes bytes to path; on failure tells stderr "TOOL: cannot write 'PATH': REASON".
inline bool WriteOutput(std::string_view tool, const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out) {
        std::fprintf(stderr, "%.*s: cannot write '%s': %s\n", int(tool.size()), tool.data(),
                     path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace tools
