// show_boxes CAPTION TEXT [CAPTION TEXT ...]: shows one MB_OK box after the other, as a
// program under test would, and prints the button that closed each one (1 = OK).
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) std::printf("%d\n", MessageBoxA(nullptr, argv[i + 1], argv[i], MB_OK));
    return argc % 2 == 1 ? 0 : 2;
}
