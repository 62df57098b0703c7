#include "engine/pump.h"

namespace pump::detail {
constinit thread_local Handler gHandler = nullptr;
constinit thread_local void* gContext = nullptr;
}  // namespace pump::detail
