// The state byte of every file list item, which the main thread keeps in
// step with the list and the folder worker reads to find the next item
// that needs a thumbnail. The table lives in BrowserState (itemStates,
// itemCount); only these functions change it.
#pragma once

#include <cstdint>

#include "ui/browser_state.h"
#include "ui/messages.h"

enum ItemState : uint8_t {
    ItemUntried = 0,    // a file whose thumbnail has not been tried yet
    ItemNeedsNone = 1,  // a folder: it keeps its standard icon
    ItemTried = 2,      // tried once in this listing, whatever came of it
};

// A new table of count items, the first folders of them folders, the rest
// untried; the old table goes. With memory short the table stays empty.
void ResetItemStates(BrowserState* state, uint32_t count, uint32_t folders);

// Frees the table; no item has a state afterwards.
void FreeItemStates(BrowserState* state);

// One more untried item at the end, and one more for the worker's scan.
void AppendItemState(BrowserState* state, WorkerSaveArea* saveArea);

// Item index leaves the table; the worker's scan keeps pointing at the same
// item.
void RemoveItemState(BrowserState* state, WorkerSaveArea* saveArea, int index);

// Sets the state of item index; an index beyond the table changes nothing.
void SetItemState(BrowserState* state, uint32_t index, ItemState value);

// The first untried item of states[0 .. count) from start on, else from 0;
// -1 when none. A negative start searches from 0.
int32_t FindUntriedItem(const uint8_t* states, uint32_t count, int64_t start);

// The next batch of the scan: up to max untried items in the order the scan
// meets them, from start to the end, then from 0 (a start outside the
// table: from 0), each once, into out, leaving out the skipCount indices
// of skip (items whose results are on their way). Returns how many.
uint32_t FindUntriedBatch(const uint8_t* states, uint32_t count, int64_t start, uint32_t max, uint32_t* out,
                          const uint32_t* skip = nullptr, uint32_t skipCount = 0);
