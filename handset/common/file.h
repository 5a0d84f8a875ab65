// Reading a whole file, with an error that names it.
#pragma once

#include <string>

namespace handset {

// The file's bytes; false with "PATH: cannot open: REASON" (or read) in
// *error, and *bytes untouched, when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

} // namespace handset
