#include "prepare/own_resource.h"

#include <windows.h>

std::span<const uint8_t> OwnResource(const char* type, const char* name) {
    HRSRC found = FindResourceA(nullptr, name, type);
    if (!found) return {};
    DWORD size = SizeofResource(nullptr, found);
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return {static_cast<const uint8_t*>(data), size};
}
