#pragma once

#include <dlfcn.h>

#include <string>

// Mesa unloads its driver with the last GL context. Kept loaded, the leak checker can still
// name the driver's own one-time allocations, which the suppressions then match; unloaded, they
// show as an unknown module and fail the run. Call once a window has been shown.
inline void keepGlDriverLoaded()
{
    for (const char *driver : {"swrast_dri.so", "kms_swrast_dri.so"}) {
        const std::string path = std::string("/usr/lib/x86_64-linux-gnu/dri/") + driver;
        dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

