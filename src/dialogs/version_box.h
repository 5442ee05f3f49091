// The version box "ABOUTBOX": the program's name and version, "64" for a
// 64-bit process, and the screen's size and colour depth.
#pragma once

#include <windows.h>

// Control ids of the box (res/resource.h gives the script the same).
constexpr int VersionBits = 34;
constexpr int VersionScreen = 35;

// The box's procedure; it ends with 1 on Ok or Cancel.
INT_PTR CALLBACK VersionBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the box modally over owner.
void RunVersionBox(HWND owner);
