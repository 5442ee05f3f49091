// The zoom suffix of a viewer's title and the save name proposed from it.
#include <shlwapi.h>

#include <cstdio>
#include <cwchar>

#include "viewer/viewer_window.h"

namespace {

constexpr int TitleCapacity = 260;

// The index of the first "|" at or after from, or the text's length.
size_t FindBar(const wchar_t* text, size_t from)
{
    size_t i = from;
    while (text[i] && text[i] != L'|')
        ++i;
    return i;
}

}  // namespace

void SetZoomTitle(HWND window, int percent)
{
    wchar_t title[TitleCapacity] = {};
    GetWindowTextW(window, title, TitleCapacity);
    if (title[0] == 0)
        return;

    size_t i = FindBar(title, 0);
    const bool hasBar = title[i] == L'|';
    if (percent >= 0) {
        // The suffix replaces any old one; what does not fit is cut.
        wchar_t suffix[24];
        swprintf(suffix, 24, L"%ls| %d%%", hasBar ? L"" : L" ", percent);
        size_t k = 0;
        while (suffix[k] && i < TitleCapacity - 1)
            title[i++] = suffix[k++];
        title[i] = 0;
    } else if (hasBar) {
        if (i > 0 && title[i - 1] == L' ')
            --i;
        title[i] = 0;
    }
    SetWindowTextW(window, title);
}

void ProposeSaveName(wchar_t* buffer)
{
    if (buffer[0] == 0 || buffer[0] == L'|') {
        buffer[0] = 0;
        return;
    }

    // The text before the zoom suffix.
    const size_t bar = FindBar(buffer, 1);
    if (buffer[bar] == L'|' && buffer[bar - 1] == L' ')
        buffer[bar - 1] = 0;

    // Its last path component, moved to the start.
    const wchar_t* name = PathFindFileNameW(buffer);
    if (name != buffer)
        wmemmove(buffer, name, wcslen(name) + 1);
}
