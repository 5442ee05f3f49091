#include "dialogs/options_dialog.h"

#include <commdlg.h>

#include "ui/owners.h"

namespace {

constexpr int ResultFitShift = 24;
constexpr int ResultOpenAnyShift = 25;
constexpr int ResultFillShift = 26;

BrowserState* StateOf(HWND dialog)
{
    return reinterpret_cast<BrowserState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

bool Checked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// The controls show the state's options; the working colour starts from
// the state's colour.
INT_PTR OnInitDialog(HWND dialog, BrowserState* state)
{
    if (!state) {
        EndDialog(dialog, -1);
        return TRUE;
    }
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    CheckRadioButton(dialog, OptionActualSize, OptionFitToWindow,
                     (state->flags & FitToWindow) ? OptionFitToWindow : OptionActualSize);
    CheckDlgButton(dialog, OptionOpenAnyFile, (state->flags & OpenAnyFile) ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, OptionNoFill, OptionFill, (state->flags & FillBackground) ? OptionFill : OptionNoFill);
    state->dialogColour = RGB(state->colour[ColourRed], state->colour[ColourGreen], state->colour[ColourBlue]);
    return TRUE;
}

// The colour dialog, with sixteen white custom colours each time; the
// working colour changes only when the user confirms.
void ChooseWorkingColour(HWND dialog, BrowserState* state)
{
    COLORREF custom[16];
    for (COLORREF& colour : custom)
        colour = RGB(255, 255, 255);
    CHOOSECOLORW choose = {};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = dialog;
    choose.rgbResult = state->dialogColour;
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_PREVENTFULLOPEN;
    if (ChooseColorW(&choose))
        state->dialogColour = choose.rgbResult & 0x00FFFFFF;
    InvalidateRect(GetDlgItem(dialog, OptionSwatch), nullptr, FALSE);
}

// Ok packs the working colour and the three options.
INT_PTR PackedResult(HWND dialog, const BrowserState* state)
{
    const INT_PTR fit = !Checked(dialog, OptionActualSize) && Checked(dialog, OptionFitToWindow) ? 1 : 0;
    const INT_PTR openAny = Checked(dialog, OptionOpenAnyFile) ? 1 : 0;
    const INT_PTR fill = Checked(dialog, OptionFill) ? 1 : 0;
    return static_cast<INT_PTR>(state->dialogColour & 0x00FFFFFF) | fit << ResultFitShift |
           openAny << ResultOpenAnyShift | fill << ResultFillShift;
}

// Only clicks act: a double click's first click has acted already. The
// radios and the check box are checked here, not by themselves.
void OnCommand(HWND dialog, WPARAM wParam)
{
    BrowserState* state = StateOf(dialog);
    const int id = LOWORD(wParam);
    if (!state || HIWORD(wParam) != BN_CLICKED)
        return;
    switch (id) {
    case IDOK:
        EndDialog(dialog, PackedResult(dialog, state));
        break;
    case IDCANCEL:
        EndDialog(dialog, -1);
        break;
    case OptionActualSize:
    case OptionFitToWindow:
        CheckRadioButton(dialog, OptionActualSize, OptionFitToWindow, id);
        break;
    case OptionNoFill:
    case OptionFill:
        CheckRadioButton(dialog, OptionNoFill, OptionFill, id);
        break;
    case OptionOpenAnyFile:
        CheckDlgButton(dialog, id, Checked(dialog, id) ? BST_UNCHECKED : BST_CHECKED);
        break;
    case OptionSwatch:
        ChooseWorkingColour(dialog, state);
        break;
    default:
        break;
    }
}

// The swatch: a push-button frame around a rectangle of the working colour.
void DrawSwatch(const DRAWITEMSTRUCT* item, COLORREF colour)
{
    RECT frame = item->rcItem;
    DrawFrameControl(item->hDC, &frame, DFC_BUTTON,
                     DFCS_BUTTONPUSH | ((item->itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
    GdiObjectOwner brush(CreateSolidBrush(colour));
    GdiObjectOwner pen(CreatePen(PS_SOLID, 1, colour));
    Selection brushSelected(item->hDC, brush.get());
    Selection penSelected(item->hDC, pen.get());
    Rectangle(item->hDC, item->rcItem.left + 3, item->rcItem.top + 3, item->rcItem.right - 3,
              item->rcItem.bottom - 3);
}

}  // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, reinterpret_cast<BrowserState*>(lParam));
    case WM_COMMAND:
        OnCommand(dialog, wParam);
        return TRUE;
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const BrowserState* state = StateOf(dialog);
        if (wParam != OptionSwatch || !item || !state)
            return FALSE;
        DrawSwatch(item, state->dialogColour);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

INT_PTR RunOptionsDialog(HWND owner, BrowserState* state)
{
    return DialogBoxParamW(ProgramInstance(), L"OPTIONBOX", owner, OptionsDialogProc,
                           reinterpret_cast<LPARAM>(state));
}

void StoreOptionsResult(BrowserState* state, INT_PTR result)
{
    if (result < 0)
        return;
    const uint32_t value = static_cast<uint32_t>(result);
    state->colour[ColourRed] = static_cast<uint8_t>(value);
    state->colour[ColourGreen] = static_cast<uint8_t>(value >> 8);
    state->colour[ColourBlue] = static_cast<uint8_t>(value >> 16);
    state->flags = (state->flags & ~OptionFlagsMask) | (((value >> 24) & 7u) << OptionFlagsShift);
}
