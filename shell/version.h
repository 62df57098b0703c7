// The program's version, set once in the top-level CMakeLists.txt.
#pragma once

namespace nerova {

/// The version as "MAJOR.MINOR.PATCH".
const char* version();

}  // namespace nerova
