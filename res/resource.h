// Resource identifiers shared by the resource script and the code.
#pragma once

// Commands of the main window's "&Option" menu.
#define IDM_OPTIONS 31
#define IDM_MANUAL 32
#define IDM_VERSION 33
