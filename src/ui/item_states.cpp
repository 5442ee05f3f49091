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
    uint32_t first = 0;
    return FindUntriedBatch(states, count, start, 1, &first) ? int32_t(first) : -1;
}

namespace {

bool Listed(const uint32_t* values, uint32_t count, uint32_t value)
{
    for (uint32_t i = 0; i < count; ++i)
        if (values[i] == value)
            return true;
    return false;
}

}  // namespace

uint32_t FindUntriedBatch(const uint8_t* states, uint32_t count, int64_t start, uint32_t max, uint32_t* out,
                          const uint32_t* skip, uint32_t skipCount)
{
    if (!states || count == 0)
        return 0;
    const uint32_t first = start >= 0 && start < int64_t(count) ? uint32_t(start) : 0;
    uint32_t found = 0;
    for (uint32_t step = 0; step < count && found < max; ++step) {
        const uint32_t k = first + step < count ? first + step : first + step - count;
        if (states[k] == ItemUntried && !Listed(skip, skipCount, k))
            out[found++] = k;
    }
    return found;
}
