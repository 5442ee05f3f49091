#include "ui/item_states.h"

#include <cstring>

void ResetItemStates(BrowserState* state, uint32_t count, uint32_t folders)
{
    FreeItemStates(state);
    if (count == 0)
        return;
    state->itemStates = static_cast<uint8_t*>(LocalAlloc(LPTR, SIZE_T(count)));
    if (!state->itemStates)
        return;
    std::memset(state->itemStates, ItemNeedsNone, SIZE_T(folders < count ? folders : count));
    state->itemCount = count;
}

void FreeItemStates(BrowserState* state)
{
    if (state->itemStates)
        LocalFree(state->itemStates);
    state->itemStates = nullptr;
    state->itemCount = 0;
}

void AppendItemState(BrowserState* state, WorkerSaveArea* saveArea)
{
    HLOCAL grown = state->itemStates ? LocalReAlloc(state->itemStates, state->itemCount + 1, LMEM_MOVEABLE)
                                     : LocalAlloc(LMEM_FIXED, 1);
    if (!grown)
        return;
    state->itemStates = static_cast<uint8_t*>(grown);
    state->itemStates[state->itemCount++] = ItemUntried;
    if (saveArea)
        ++saveArea->itemCount;
}

void RemoveItemState(BrowserState* state, WorkerSaveArea* saveArea, int index)
{
    if (index >= 0 && static_cast<DWORD>(index) < state->itemCount) {
        std::memmove(state->itemStates + index, state->itemStates + index + 1, state->itemCount - index - 1);
        --state->itemCount;
    }
    if (saveArea) {
        if (saveArea->itemCount > 0)
            --saveArea->itemCount;
        if (index < saveArea->currentIndex)
            --saveArea->currentIndex;
    }
}

void SetItemState(BrowserState* state, uint32_t index, ItemState value)
{
    if (state->itemStates && index < state->itemCount)
        state->itemStates[index] = value;
}

int32_t FindUntriedItem(const uint8_t* states, uint32_t count, int64_t start)
{
    if (!states)
        return -1;
    if (start >= 0) {
        for (int64_t k = start; k < int64_t(count); ++k)
            if (states[k] == ItemUntried)
                return int32_t(k);
    }
    for (uint32_t k = 0; k < count; ++k)
        if (states[k] == ItemUntried)
            return int32_t(k);
    return -1;
}
