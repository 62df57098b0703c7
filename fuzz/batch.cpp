// The batch reader: any bytes as a batch file give one output line per input line that
// is read, each a copied comment or "line = value", and nothing else.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz/bounded.h"
#include "shell/batch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    const nerova::fuzz::TimeBudget budget;
    nerova::runBatch(in, "in", out, "out");
    const std::string written = out.str();
    if (!written.empty() && written.back() != '\n') std::abort();
    std::istringstream lines(written);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || (line[0] != '#' && line.find(" = ") == std::string::npos)) {
            std::fprintf(stderr, "output line '%s'\n", line.c_str());
            std::abort();
        }
    }
    return 0;
}
