// vt5_sanitizer_probe FAULT: commits the fault named, then says that it ran on. Built only
// with the sanitizers, where it must never get to say so.
#include <climits>
#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string_view fault = argv[1];
    // volatile: the faults happen at run time, not folded away by the compiler.
    volatile int value = INT_MAX;
    volatile int result = 0;
    if (fault == "signed-overflow") {
        result = value + argc;
    } else if (fault == "shift") {
        volatile int by = 30 + argc;
        result = 1 << by;
    } else if (fault == "heap-overflow") {
        volatile int* four = new int[4]{};
        result = four[argc + 2];
        delete[] four;
    } else {
        return 2;
    }
    std::printf("ran on (%d)\n", int(result));
    return 0;
}
