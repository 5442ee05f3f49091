// Moving the focus among viewer windows by the order they were created in.
#include <new>
#include <utility>

#include "viewer/viewer_window.h"

namespace {

struct AgeEntry {
    HWND window;  // nullptr for the window asked about
    uint32_t createdAt;
};

// The next viewer window of this process below after in the z-order.
HWND NextViewerBelow(HWND after)
{
    HWND next = after;
    do
        next = FindWindowExW(nullptr, next, ViewerWindowClass, nullptr);
    while (next && !ViewerOf(next));
    return next;
}

}  // namespace

HWND FindNextViewerByAge(HWND window)
{
    const ViewerImage* self = ViewerOf(window);
    if (!self)
        return nullptr;

    // Count the viewers below this one in the z-order.
    size_t count = 0;
    for (HWND next = NextViewerBelow(window); next; next = NextViewerBelow(next))
        ++count;
    if (count == 0)
        return nullptr;

    // This window first, then the others in z-order.
    AgeEntry* table = new (std::nothrow) AgeEntry[count + 1];
    if (!table)
        return nullptr;
    size_t size = 0;
    table[size++] = AgeEntry{nullptr, self->createdAt};
    for (HWND next = NextViewerBelow(window); next && size < count + 1; next = NextViewerBelow(next)) {
        table[size++] = AgeEntry{next, ViewerOf(next)->createdAt};
    }

    // Oldest first, by an exchange sort.
    for (size_t k = 0; k + 1 < size; ++k)
        for (size_t m = k + 1; m < size; ++m)
            if (table[m].createdAt < table[k].createdAt)
                std::swap(table[k], table[m]);

    // The one after this window, wrapping round to the oldest.
    HWND found = nullptr;
    for (size_t k = 0; k < size; ++k)
        if (!table[k].window) {
            found = table[k + 1 < size ? k + 1 : 0].window;
            break;
        }
    delete[] table;
    return found;
}
