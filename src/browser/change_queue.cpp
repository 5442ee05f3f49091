#include "browser/change_queue.h"

#include "browser/file_list.h"
#include "browser/folder_tree.h"
#include "image/shared_lock_win.h"
#include "ui/browser_state.h"
#include "ui/owners.h"

bool AppendChange(LPCITEMIDLIST first, LPCITEMIDLIST second, LONG event, LONG source)
{
    SharedLockHolder hold;

    // Copies of the lists first, so that a failure leaves the queue as it was.
    ItemIdListOwner firstCopy(first ? ILClone(first) : nullptr);
    ItemIdListOwner secondCopy(second ? ILClone(second) : nullptr);
    if ((first && !firstCopy) || (second && !secondCopy))
        return false;

    // One record more: a new block for the first, else the block grown.
    const SIZE_T bytes = (SIZE_T(Browser.changeCount) + 1) * sizeof(ChangeRecord);
    HGLOBAL block = Browser.changeCount == 0 ? GlobalAlloc(GMEM_MOVEABLE, bytes)
                                             : GlobalReAlloc(Browser.changeQueue, bytes, GMEM_MOVEABLE);
    if (!block)
        return false;
    Browser.changeQueue = block;

    GlobalLockHolder<ChangeRecord> records(block);
    if (!records.get())
        return false;
    records.get()[Browser.changeCount] = ChangeRecord{firstCopy.release(), secondCopy.release(), event, source};
    ++Browser.changeCount;
    return true;
}

void ApplyChanges(WorkerSaveArea* saveArea)
{
    SharedLockHolder hold;
    {
        GlobalLockHolder<ChangeRecord> records(Browser.changeCount ? Browser.changeQueue : nullptr);
        for (DWORD i = 0; records.get() && i < Browser.changeCount; ++i) {
            const ChangeRecord& change = records.get()[i];
            if (change.source == ChangeFromTree)
                ApplyTreeChange(&Browser, change);
            else
                ApplyListChange(&Browser, change, saveArea);
        }
    }
    FreeChanges();
}

void FreeChanges()
{
    if (Browser.changeCount == 0)
        return;
    {
        GlobalLockHolder<ChangeRecord> records(Browser.changeQueue);
        for (DWORD i = 0; records.get() && i < Browser.changeCount; ++i) {
            CoTaskMemFree(records.get()[i].first);
            CoTaskMemFree(records.get()[i].second);
        }
    }
    GlobalFree(Browser.changeQueue);
    Browser.changeQueue = nullptr;
    Browser.changeCount = 0;
}
