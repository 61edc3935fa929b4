#include <cstdio>
#include <iostream>
#include <string_view>

#include "ChartDump.hpp"
#include "System.hpp"

namespace {

// The dump is chosen by an argument that is exactly the switch, wherever it stands.
bool wantsChartDump(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (argv[i] != nullptr && std::string_view(argv[i]) == "--dump-chart") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (wantsChartDump(argc, argv)) {
        return sapwell::runChartDump(sapwell::platform::system(), std::cout, std::cerr);
    }

    // Placeholder until the application shell lands.
    std::puts("Sapwell: the sampling core is being built; no user interface yet.");
    return 0;
}
