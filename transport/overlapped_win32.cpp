#include "transport/overlapped_win32.h"

namespace {

constexpr size_t kPageSize = 4096;

// Pages of its own, all of them room for bytes: a 10 MiB read block is committed page by
// page as replies land in it.
TransferBlock* AllocateBlock(DWORD capacity) {
    if (capacity > MAXDWORD - TransferBlock::kHeader - kPageSize) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const size_t size = (TransferBlock::kHeader + capacity + kPageSize - 1) / kPageSize * kPageSize;
    void* pages = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!pages) return nullptr;
    auto* block = static_cast<TransferBlock*>(pages);  // zeroed by VirtualAlloc
    block->capacity = static_cast<DWORD>(size - TransferBlock::kHeader);
    return block;
}

}  // namespace

TransferBlock* NewTransferBlock() {
    TransferBlock* block = AllocateBlock(0);
    if (!block) return nullptr;
    block->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!block->event) {
        const DWORD error = GetLastError();
        VirtualFree(block, 0, MEM_RELEASE);
        SetLastError(error);
        return nullptr;
    }
    return block;
}

void FreeTransferBlock(TransferBlock* block) {
    if (!block) return;
    CloseHandle(block->event);
    VirtualFree(block, 0, MEM_RELEASE);
}

bool ReserveTransferBytes(TransferBlock*& block, DWORD length) {
    if (length <= block->capacity) return true;
    TransferBlock* larger = AllocateBlock(length);
    if (!larger) return false;
    larger->event = block->event;
    VirtualFree(block, 0, MEM_RELEASE);
    block = larger;
    return true;
}
