#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// The library reports errors through a callback that must not return; it returns here by
// longjmp to the setjmp of the function that drives the library. Such functions hold no C++
// objects with destructors between their setjmp and the library calls, so nothing is skipped.
struct TJpegErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool warningsAreErrors = false;
};

void InstallJpegErrorManager(j_common_ptr info, TJpegErrorManager& manager, bool warningsAreErrors);
