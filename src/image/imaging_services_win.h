// The imaging library's life in the process. Once it has been stopped no
// picture is loaded any more, so that a message still queued for a window
// (a file dropped on a viewer as the program ends) or an archive window's
// worker still making thumbnails cannot reach a shut down library: the
// loaders fail as for a file they cannot read. Every use of the library
// holds an ImagingUse; stopping waits for the uses in progress to end, so
// the check and the stop cannot interleave.
#pragma once

// Starts the imaging library (GDI+) and allows loading. Returns false when
// the library cannot be started.
bool StartImagingServices();

// Refuses every later use, waits until the uses in progress have ended,
// then shuts the library down. Does nothing more when it was not started.
void StopImagingServices();

// False after StopImagingServices until the next start; true before any
// start, so that code which starts the library itself can load.
bool ImagingAvailable();

// One use of the library, from construction to destruction. granted() is
// false when the services have stopped: the user must then not touch the
// library. While any use is granted, StopImagingServices waits.
class ImagingUse {
public:
    ImagingUse();
    ~ImagingUse();
    ImagingUse(const ImagingUse&) = delete;
    ImagingUse& operator=(const ImagingUse&) = delete;
    bool granted() const { return granted_; }

private:
    bool granted_;
};
