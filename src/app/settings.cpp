#include "app/settings.h"

#include <shlwapi.h>

#include <cstring>

#include "browser/folder_tree.h"
#include "ui/browser_state.h"

namespace {

const wchar_t SettingsSection[] = L"WINDOW";
const wchar_t SettingsFileName[] = L"Zize.ini";
// The settings folder below the user's application data.
const wchar_t ApplicationDataTail[] = L"Zize\\";
// What GetPrivateProfileStringW gives for a missing key.
const wchar_t MissingValue[] = L"@";
// Room for 10 characters of a value and the terminator.
constexpr DWORD ValueBufferSize = 11;
// "COLOR" alone needs 11: a spare byte of 0x80 or more is written as a
// negative number of up to 11 characters, and cutting it would change the
// colour from one run to the next.
constexpr DWORD ColourBufferSize = 12;

int32_t lastSplitPosition = DefaultSplitPosition;

// Reads one value into buffer. Returns false when it is missing: the first
// character obtained is '@' (which covers a value that begins with it).
bool ReadValue(const wchar_t* iniPath, const wchar_t* key, wchar_t* buffer, DWORD size)
{
    GetPrivateProfileStringW(SettingsSection, key, MissingValue, buffer, size, iniPath);
    return buffer[0] != L'@';
}

// Reads one number of at most size - 1 characters. Returns false, leaving
// *value alone, when it is missing.
bool ReadNumber(const wchar_t* iniPath, const wchar_t* key, int32_t* value, DWORD size = ValueBufferSize)
{
    wchar_t buffer[ColourBufferSize];
    if (size > ColourBufferSize)
        size = ColourBufferSize;
    if (!ReadValue(iniPath, key, buffer, size))
        return false;
    *value = ParseSettingNumber(buffer);
    return true;
}

void WriteNumber(const wchar_t* iniPath, const wchar_t* key, int32_t value)
{
    wchar_t text[16];
    wsprintfW(text, L"%d", value);
    WritePrivateProfileStringW(SettingsSection, key, text, iniPath);
}

// The value of one hexadecimal digit; anything else gives 0.
uint8_t HexDigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return static_cast<uint8_t>(c - L'0');
    if (c >= L'A' && c <= L'F')
        return static_cast<uint8_t>(c - L'A' + 10);
    return 0;
}

// Reads the saved folder: "CNTFOLDER" bytes from "SELFOLDER". Returns none
// when there is no saved folder.
LPITEMIDLIST ReadSavedFolder(const wchar_t* iniPath)
{
    int32_t count = 0;
    if (!ReadNumber(iniPath, L"CNTFOLDER", &count) || count <= 0)
        return nullptr;
    if (static_cast<uint32_t>(count) > MaxSavedFolderBytes)
        return nullptr;

    // 2 x N characters, terminator included: at most 2N - 1 digits arrive.
    DWORD size = static_cast<DWORD>(count) * 2;
    wchar_t* text = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, size * sizeof(wchar_t)));
    if (!text)
        return nullptr;
    LPITEMIDLIST folder = nullptr;
    if (ReadValue(iniPath, L"SELFOLDER", text, size))
        folder = DecodeSavedFolder(text, static_cast<uint32_t>(count));
    LocalFree(text);
    return folder;
}

// Makes sure the file exists, as UTF-16 with its byte-order mark, so that
// the profile functions keep it in Unicode.
void CreateUnicodeFile(const wchar_t* iniPath)
{
    HANDLE file = CreateFileW(iniPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    static const BYTE mark[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file, mark, sizeof mark, &written, nullptr);
    CloseHandle(file);
}

// Writes "CNTFOLDER" and "SELFOLDER" for folder (none writes 0 and "").
void WriteFolder(const wchar_t* iniPath, LPCITEMIDLIST folder)
{
    UINT count = folder ? ILGetSize(folder) : 0;
    wchar_t* text = nullptr;
    if (count > 0)
        text = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, (static_cast<SIZE_T>(count) * 2 + 1) * sizeof(wchar_t)));
    if (!text) {
        WritePrivateProfileStringW(SettingsSection, L"CNTFOLDER", L"0", iniPath);
        WritePrivateProfileStringW(SettingsSection, L"SELFOLDER", L"", iniPath);
        return;
    }

    // Two upper-case digits a byte, high digit first.
    static const wchar_t digits[] = L"0123456789ABCDEF";
    const BYTE* bytes = reinterpret_cast<const BYTE*>(folder);
    for (UINT i = 0; i < count; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 15];
    }
    text[2 * count] = L'\0';
    WriteNumber(iniPath, L"CNTFOLDER", static_cast<int32_t>(count));
    WritePrivateProfileStringW(SettingsSection, L"SELFOLDER", text, iniPath);
    LocalFree(text);
}

// Joins a folder (ending with a separator) and the settings file name.
// Returns false when it does not fit in size units.
bool JoinSettingsName(const wchar_t* folder, wchar_t* path, size_t size)
{
    if (!folder || folder[0] == L'\0')
        return false;
    const size_t folderLength = wcslen(folder);
    const size_t nameLength = wcslen(SettingsFileName);
    if (folderLength + nameLength + 1 > size)
        return false;
    std::memcpy(path, folder, folderLength * sizeof(wchar_t));
    std::memcpy(path + folderLength, SettingsFileName, (nameLength + 1) * sizeof(wchar_t));
    return true;
}

// Whether the file at path can be written: it opens for writing, or, when
// there is none, one can be made there (it is deleted again at once).
bool CanWriteFile(const wchar_t* path)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
        file = CreateFileW(path, GENERIC_WRITE | DELETE, share, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// The settings folder in the user's application data, or "" when the
// shell gives none.
void ApplicationDataFolder(wchar_t* folder, size_t size)
{
    folder[0] = L'\0';
    wchar_t base[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
        return;
    const size_t baseLength = wcslen(base);
    const size_t tailLength = wcslen(ApplicationDataTail);
    if (baseLength == 0 || baseLength + tailLength + 2 > size)
        return;
    std::memcpy(folder, base, baseLength * sizeof(wchar_t));
    size_t at = baseLength;
    if (folder[at - 1] != L'\\')
        folder[at++] = L'\\';
    std::memcpy(folder + at, ApplicationDataTail, (tailLength + 1) * sizeof(wchar_t));
}

}  // namespace

int32_t ParseSettingNumber(const wchar_t* text)
{
    bool negative = false;
    if (*text == L'-') {
        negative = true;
        ++text;
    }

    // Unsigned arithmetic wraps like the 32-bit register it models.
    uint32_t value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text)
        value = value * 10 + static_cast<uint32_t>(*text - L'0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

LPITEMIDLIST DecodeSavedFolder(const wchar_t* text, uint32_t count)
{
    if (count < 2 || count > MaxSavedFolderBytes)
        return nullptr;
    BYTE* bytes = static_cast<BYTE*>(CoTaskMemAlloc(count));
    if (!bytes)
        return nullptr;

    // Byte i from the digits at 2i and 2i + 1; past the text they are 0.
    size_t length = wcslen(text);
    for (uint32_t i = 0; i < count; ++i) {
        size_t high = 2 * static_cast<size_t>(i);
        uint8_t h = high < length ? HexDigitValue(text[high]) : 0;
        uint8_t l = high + 1 < length ? HexDigitValue(text[high + 1]) : 0;
        bytes[i] = static_cast<BYTE>(h << 4 | l);
    }

    // The shell walks the list by its IDs' sizes: an ID that is shorter
    // than its size field or runs into the last two bytes ends the list.
    uint32_t offset = 0;
    for (;;) {
        uint32_t size = bytes[offset] | static_cast<uint32_t>(bytes[offset + 1]) << 8;
        if (size == 0)
            break;
        if (size < 2 || offset + size > count - 2) {
            bytes[offset] = 0;
            bytes[offset + 1] = 0;
            break;
        }
        offset += size;
    }
    return reinterpret_cast<LPITEMIDLIST>(bytes);
}

LPITEMIDLIST FolderOfPath(const wchar_t* path, bool* isDirectory)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return nullptr;
    bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isDirectory)
        *isDirectory = directory;

    // A file's folder is its text up to and including the last separator.
    wchar_t folder[MAX_PATH + 4];
    size_t length = wcslen(path);
    if (length >= sizeof folder / sizeof folder[0])
        return nullptr;
    std::memcpy(folder, path, (length + 1) * sizeof(wchar_t));
    if (!directory) {
        wchar_t* cut = nullptr;
        for (wchar_t* p = folder; *p; ++p)
            if (*p == L'\\' || *p == L'/')
                cut = p + 1;
        if (!cut)
            return nullptr;
        *cut = L'\0';
    }

    // An absolute item-ID list through the desktop folder.
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop)
        return nullptr;
    LPITEMIDLIST parsed = nullptr;
    HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, folder, nullptr, &parsed, nullptr);
    desktop->Release();
    if (FAILED(hr))
        return nullptr;
    return parsed;
}

bool ChooseSettingsFile(const wchar_t* exeDir, const wchar_t* appDataDir, SettingsUse use, wchar_t* path,
                        size_t size)
{
    // Beside the program while the file can be written there.
    wchar_t besideProgram[MAX_PATH + 16];
    const bool beside = JoinSettingsName(exeDir, besideProgram, sizeof besideProgram / sizeof besideProgram[0]);
    if (beside && CanWriteFile(besideProgram))
        return JoinSettingsName(exeDir, path, size);

    // Else in the application data; a first read, before anything was
    // written there, still finds what lies beside the program.
    if (JoinSettingsName(appDataDir, path, size)) {
        if (use == SettingsUse::Write) {
            CreateDirectoryW(appDataDir, nullptr);
            return true;
        }
        if (!beside || GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
            return true;
    }
    return beside && use == SettingsUse::Read && JoinSettingsName(exeDir, path, size);
}

bool ReadSettingsFile(const wchar_t* iniPath, Settings* settings)
{
    // The saved folder, unless the command line gave one.
    if (!settings->startFolder)
        settings->startFolder = ReadSavedFolder(iniPath);

    // Colour, options and split position, each with its default.
    int32_t colour = static_cast<int32_t>(DefaultColour);
    int32_t options = 0;
    int32_t split = DefaultSplitPosition;
    ReadNumber(iniPath, L"COLOR", &colour, ColourBufferSize);
    ReadNumber(iniPath, L"OPTION", &options);
    ReadNumber(iniPath, L"DIV", &split);
    settings->colour = static_cast<uint32_t>(colour);
    settings->options = static_cast<uint32_t>(options);
    settings->splitPosition = split;
    lastSplitPosition = split;

    // The geometry: the first missing key makes it incomplete.
    int32_t geometry[4] = {0, 0, 0, 0};
    static const wchar_t* const keys[4] = {L"LEFT", L"TOP", L"WIDTH", L"HEIGHT"};
    settings->geometryComplete = false;
    for (int i = 0; i < 4; ++i)
        if (!ReadNumber(iniPath, keys[i], &geometry[i]))
            return false;
    settings->left = geometry[0];
    settings->top = geometry[1];
    settings->width = geometry[2];
    settings->height = geometry[3];
    settings->geometryComplete = true;
    return true;
}

bool ReadSettings(Settings* settings)
{
    std::memset(settings, 0, sizeof *settings);

    // A start folder from the command line: the path's folder. For a
    // directory nothing is left to open; a file stays pending.
    if (PendingPath[0] != L'\0') {
        bool directory = false;
        LPITEMIDLIST parsed = FolderOfPath(PendingPath, &directory);
        if (GetFileAttributesW(PendingPath) == INVALID_FILE_ATTRIBUTES)
            ClearPendingPath();
        if (parsed) {
            UINT size = ILGetSize(parsed);
            settings->startFolder = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(size));
            if (settings->startFolder)
                std::memcpy(settings->startFolder, parsed, size);
            CoTaskMemFree(parsed);
            if (directory)
                ClearPendingPath();
        }
    }

    wchar_t appData[MAX_PATH + 16];
    ApplicationDataFolder(appData, sizeof appData / sizeof appData[0]);
    wchar_t iniPath[MAX_PATH + 16];
    if (!ChooseSettingsFile(Browser.exeDir, appData, SettingsUse::Read, iniPath, sizeof iniPath / sizeof iniPath[0])) {
        settings->colour = DefaultColour;
        settings->splitPosition = DefaultSplitPosition;
        return false;
    }
    return ReadSettingsFile(iniPath, settings);
}

void WriteSettingsFile(const wchar_t* iniPath, const Settings& settings)
{
    CreateUnicodeFile(iniPath);
    WriteNumber(iniPath, L"LEFT", settings.left);
    WriteNumber(iniPath, L"TOP", settings.top);
    WriteNumber(iniPath, L"WIDTH", settings.width);
    WriteNumber(iniPath, L"HEIGHT", settings.height);
    WriteNumber(iniPath, L"DIV", settings.splitPosition);
    WriteNumber(iniPath, L"COLOR", static_cast<int32_t>(settings.colour));
    WriteNumber(iniPath, L"OPTION", static_cast<int32_t>(settings.options));
    WriteFolder(iniPath, settings.startFolder);
}

void WriteSettings()
{
    wchar_t appData[MAX_PATH + 16];
    ApplicationDataFolder(appData, sizeof appData / sizeof appData[0]);
    wchar_t iniPath[MAX_PATH + 16];
    if (!ChooseSettingsFile(Browser.exeDir, appData, SettingsUse::Write, iniPath, sizeof iniPath / sizeof iniPath[0]))
        return;
    Settings values = {};

    // The frame: what a menu-bar window adds around a 640 x 448 client area.
    RECT frame = {0, 0, DefaultClientWidth, DefaultClientHeight};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, TRUE);
    int32_t frameWidth = (frame.right - frame.left) - DefaultClientWidth;
    int32_t frameHeight = (frame.bottom - frame.top) - DefaultClientHeight;

    // The restored rectangle, also of a maximised or minimised window.
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (Browser.mainWindow && GetWindowPlacement(Browser.mainWindow, &placement)) {
        const RECT& r = placement.rcNormalPosition;
        values.left = r.left;
        values.top = r.top;
        values.width = (r.right - r.left) - frameWidth;
        values.height = (r.bottom - r.top) - frameHeight;
    }

    // The split: the left pane's restored right edge, or the value read
    // while there is no pane.
    values.splitPosition = lastSplitPosition;
    WINDOWPLACEMENT pane = {};
    pane.length = sizeof pane;
    if (Browser.left.pane && GetWindowPlacement(Browser.left.pane, &pane))
        values.splitPosition = pane.rcNormalPosition.right;

    values.colour = BrowserColourValue();
    values.options = (Browser.flags & OptionFlagsMask) >> OptionFlagsShift;

    // The folder that the list shows.
    const TreeItemRecord* listed = SelectedFolderRecord(&Browser);
    values.startFolder = listed ? listed->absolute : nullptr;
    WriteSettingsFile(iniPath, values);
}

int32_t SplitPositionRead()
{
    return lastSplitPosition;
}
