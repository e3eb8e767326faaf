// Sleeps the milliseconds of its first argument, then exits with the code of its second (0 when
// absent): a program of known length and outcome for the tests of the wait.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    const DWORD ms = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0;
    const int code = argc > 2 ? std::atoi(argv[2]) : 0;
    Sleep(ms);
    return code;
}
