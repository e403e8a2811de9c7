#pragma once
// <windows.h> for the Win32 front end: wide calls, no min/max macros. The platform layer's own
// names (FindFirstFile, DeleteFile) stay free of the A/W macros.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>

#undef FindFirstFile
#undef DeleteFile
