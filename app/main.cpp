#include <cstdio>

// Placeholder entry point until the application shell lands.
int main() {
    std::puts("Sapwell: the sampling core is being built; no user interface yet.");
    return 0;
}
