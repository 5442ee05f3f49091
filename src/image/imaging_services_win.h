// The imaging library's life in the process. Once it has been stopped no
// picture is loaded any more, so that a message still queued for a window
// (a file dropped on a viewer as the program ends) cannot reach a shut
// down library: the loaders fail as for a file they cannot read.
#pragma once

// Starts the imaging library (GDI+) and allows loading. Returns false when
// the library cannot be started.
bool StartImagingServices();

// Refuses every later load, then shuts the library down. Does nothing when
// it was not started.
void StopImagingServices();

// False after StopImagingServices until the next start; true before any
// start, so that code which starts the library itself can load.
bool ImagingAvailable();
