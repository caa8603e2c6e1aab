// The one place that includes <windows.h>. Only *_win32.cpp files include it.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00  // Windows 10: AddDllDirectory, CancelIoEx
#endif
#include <windows.h>
