#pragma once
// <windows.h> with the parts this library does not use left out, and without the min and max
// macros that clash with the standard library.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The system's own message names (wndmsg/messages.h) are constants; Windows' macros of the same
// names and values would replace them.
#undef WM_SETFOCUS
#undef WM_KILLFOCUS
#undef WM_MOUSEMOVE
