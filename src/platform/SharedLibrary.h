// Loading plugin libraries and the DLL search path.
// Windows: LoadLibraryW / GetProcAddress / FreeLibrary, AddDllDirectory.
// Linux: dlopen(RTLD_NOW | RTLD_LOCAL) / dlsym / dlclose; there is no DLL
// search path to change (plugins find their neighbours through $ORIGIN).
// Library paths are in native form (NarrowPath.h): UTF-16 on Windows, the
// file name's own bytes on Linux, which need not be UTF-8.
#pragma once
#include <string>

#include "platform/NarrowPath.h"

namespace Orvel::platform {

using LibraryHandle = void*;
using DllDirectoryCookie = void*;

// Null on failure; lastLibraryErrorText() then says why.
LibraryHandle loadLibrary(const NativePath& path);
// Null when the symbol is missing; lastLibraryErrorText() then says why.
void* findSymbol(LibraryHandle library, const char* name);
void freeLibrary(LibraryHandle library);
// Loads the C math library, which nearly every plugin needs, for the rest of
// the process, so that loading and unloading plugins one after another does
// not load and unload it with each of them. The program itself does not need
// it, and does not load it at start-up. Linux only; Windows keeps its C
// runtime loaded anyway.
void keepMathLibraryLoaded();
// Windows: lastSystemErrorText(). Linux: the text of the calling thread's
// last failed loadLibrary/findSymbol (dlerror()), "" when the last one succeeded.
std::string lastLibraryErrorText();

// Replaces every %NAME% whose variable is defined by its value; a reference to
// an undefined variable stays as typed. The result has no terminating NUL.
NativePath expandEnvironmentStrings(const NativePath& text);

// The folder part of a library path by the rules of a file-system path: the
// root name stays, the last element and the separators before it go, except a
// root separator ("C:\p\x.dll" gives "C:\p", "C:\x.dll" gives "C:\", a
// bare "x.dll" gives ""). Windows accepts "\" and "/", Linux "/".
NativePath libraryFolder(const NativePath& path);

// AddDllDirectory; null on failure and always null on Linux.
DllDirectoryCookie addDllDirectory(const NativePath& directory);
void removeDllDirectory(DllDirectoryCookie cookie);
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS); nothing on Linux.
void useDefaultDllDirectories();

}  // namespace Orvel::platform
