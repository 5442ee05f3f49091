// The program's four window classes. The main window's name is also the
// mark by which a second start finds the running instance.
#pragma once

inline constexpr wchar_t MainWindowClass[] = L"ZaVuvi";
inline constexpr wchar_t PaneWindowClass[] = L"ZaraZaduz";
inline constexpr wchar_t ViewerWindowClass[] = L"RezaDiz";
inline constexpr wchar_t ArchiveWindowClass[] = L"ZuzeDod";
