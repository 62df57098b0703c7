#include "shell/version.h"

namespace nerova {

const char* version() { return NEROVA_VERSION; }

}  // namespace nerova
