// The settings file "Zize.ini": window geometry, split position, options,
// fill colour and the last listed folder, all in the one section "WINDOW".
// Read once before the main window exists, written once when it is
// destroyed. It lies beside the executable, or, where it cannot be written
// there (a program folder under Program Files), in the user's application
// data ("%APPDATA%\Zize\Zize.ini").
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>

struct Settings {
    int32_t left;
    int32_t top;
    int32_t width;   // client size
    int32_t height;
    bool geometryComplete;
    uint32_t options;  // bit 0 FitToWindow, bit 1 OpenAnyFile, bit 2 FillBackground
    uint32_t colour;   // red bits 0-7, green 8-15, blue 16-23, spare byte 24-31
    int32_t splitPosition;
    LPITEMIDLIST startFolder;  // shell allocator; owned by the caller
};

constexpr int32_t DefaultSplitPosition = 288;
constexpr uint32_t DefaultColour = 0x00FFFFFF;
constexpr int32_t DefaultClientWidth = 640;
constexpr int32_t DefaultClientHeight = 448;
// Longest saved item-ID list accepted from the file, in bytes.
constexpr uint32_t MaxSavedFolderBytes = 0x10000;

// Fills settings from PendingPath and the settings file (ChooseSettingsFile
// for the executable directory and the application data).
// Returns whether the geometry was complete.
bool ReadSettings(Settings* settings);

// Writes every key from the live state of Browser to the file that
// ChooseSettingsFile gives for writing.
void WriteSettings();

enum class SettingsUse { Read, Write };

// Which settings file to use, into path (size units). The file in exeDir
// while it can be written there (it opens for writing, or one can be made;
// the probe leaves nothing behind), else the one in appDataDir; a read
// takes the one in exeDir as long as appDataDir has none, so settings left
// beside a program whose folder became read-only are still found. Both
// uses decide alike, so what one run writes is what the next one reads.
// For writing, appDataDir is made when it is chosen. Returns false when
// neither folder gives a path that fits (either may be null or "").
bool ChooseSettingsFile(const wchar_t* exeDir, const wchar_t* appDataDir, SettingsUse use, wchar_t* path,
                        size_t size);

// Reads the saved folder (only when settings->startFolder is none), the
// colour, options, split position and the geometry from the file.
// Returns whether the geometry was complete.
bool ReadSettingsFile(const wchar_t* iniPath, Settings* settings);

// Writes the values of settings to the file; startFolder is the folder to
// save (none writes no folder).
void WriteSettingsFile(const wchar_t* iniPath, const Settings& settings);

// The number of a value: an optional "-", then decimal digits up to the
// first other character, kept in 32 bits without an overflow check.
int32_t ParseSettingNumber(const wchar_t* text);

// Decodes count bytes from hexadecimal text, two digits a byte, high digit
// first; other characters and positions past the text give 0. The result
// is then cut at its first malformed ID so that it always ends in a
// terminator within count bytes. Returns none for a count below 2 or when
// memory is short.
LPITEMIDLIST DecodeSavedFolder(const wchar_t* text, uint32_t count);

// The absolute item-ID list of the folder of path (the path itself for a
// directory, else its text up to the last separator). Returns none when
// the path does not exist or cannot be parsed. isDirectory may be null.
LPITEMIDLIST FolderOfPath(const wchar_t* path, bool* isDirectory);

// The split position read last by ReadSettingsFile (288 before that).
int32_t SplitPositionRead();
