// Crashes at once (a write through a null pointer), for the check that a
// crashing test program fails its test instead of waiting on a dialog.
#include <cstdio>

int main() {
    std::puts("crashing");
    std::fflush(stdout);
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
