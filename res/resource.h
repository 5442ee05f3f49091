// Resource identifiers shared by the resource script and the code.
#pragma once

// Commands of the main window's "&Option" menu.
#define IDM_OPTIONS 31
#define IDM_MANUAL 32
#define IDM_VERSION 33

// Controls of the options dialog "OPTIONBOX".
#define IDC_ACTUAL_SIZE 36
#define IDC_FIT_TO_WINDOW 37
#define IDC_OPEN_ANY_FILE 38
#define IDC_NO_FILL 39
#define IDC_FILL 40
#define IDC_SWATCH 41

// Controls of the version box "ABOUTBOX".
#define IDC_BITS 34
#define IDC_SCREEN 35
