#include "pump.h"

namespace pump::detail {
thread_local Handler gHandler = nullptr;
thread_local void* gContext = nullptr;
}  // namespace pump::detail
