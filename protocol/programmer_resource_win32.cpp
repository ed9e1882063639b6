// The programmer's text is resource "EXE_" 219 of the running executable, looked up by
// the name "#219".
#include <windows.h>

#include <cstdio>

#include "protocol/programmer_resource.h"

std::span<const uint8_t> ProgrammerHexText() {
    char name[16];
    std::snprintf(name, sizeof name, "#%d", kProgrammerResourceId);
    HRSRC found = FindResourceA(nullptr, name, "EXE_");
    if (!found) return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return {};
    const void* bytes = LockResource(loaded);
    DWORD size = SizeofResource(nullptr, found);
    if (!bytes || size == 0) return {};
    return {static_cast<const uint8_t*>(bytes), size};
}
