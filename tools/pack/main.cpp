// veltrane-pack: builds, lists, verifies and extracts the firmware package appended to Veltrane.exe.
#include <iostream>
#include <string>
#include <vector>

#include "tools/pack/pack_commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return RunPackTool(arguments, std::cout, std::cerr);
}
