#include "browser/folder_tree.h"

#include "ui/messages.h"

void HandleTreeNotify(BrowserState* state, const NMHDR* header)
{
    // F5 lists the selected folder again.
    if (header->code == TVN_KEYDOWN) {
        const NMTVKEYDOWN* key = reinterpret_cast<const NMTVKEYDOWN*>(header);
        if (key->wVKey == VK_F5)
            SendMessageW(state->mainWindow, MSG_CONTROL, key->wVKey, CONTROL_KEY);
    }
}

void ApplyTreeChange(BrowserState*, const ChangeRecord&)
{
    // The tree holds no shell folders until it browses them; nothing to follow.
}
