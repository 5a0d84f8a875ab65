// Reading a whole file.
#include "common/file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace handset {

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        if (error) *error = path + ": cannot read: " + std::strerror(errno);
        return false;
    }
    *bytes = text.str();
    return true;
}

} // namespace handset
