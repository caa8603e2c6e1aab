// Loading plugin libraries and the DLL search path.
// Windows: LoadLibraryW / GetProcAddress / FreeLibrary, AddDllDirectory.
// Linux: dlopen(RTLD_NOW | RTLD_LOCAL) / dlsym / dlclose; there is no DLL
// search path to change (plugins find their neighbours through $ORIGIN).
#pragma once
#include <string>

namespace Orvel::platform {

using LibraryHandle = void*;
using DllDirectoryCookie = void*;

// Null on failure; lastLibraryErrorText() then says why.
LibraryHandle loadLibrary(const std::wstring& path);
// Null when the symbol is missing; lastLibraryErrorText() then says why.
void* findSymbol(LibraryHandle library, const char* name);
void freeLibrary(LibraryHandle library);
// Windows: lastSystemErrorText(). Linux: the text of the calling thread's
// last failed loadLibrary/findSymbol (dlerror()), "" when the last one succeeded.
std::string lastLibraryErrorText();

// Replaces every %NAME% whose variable is defined by its value; a reference to
// an undefined variable stays as typed. The result has no terminating NUL.
std::wstring expandEnvironmentStrings(const std::wstring& text);

// A plugin path typed by the user, as a wide path by the rules of a file-system
// path: Windows reads it in the active code page of the file functions, Linux
// as UTF-8. Throws std::filesystem::filesystem_error when it cannot be read.
std::wstring widenLibraryPath(const std::string& path);

// The folder part of a library path by the rules of a file-system path: the
// root name stays, the last element and the separators before it go, except a
// root separator ("C:\p\x.dll" gives "C:\p", "C:\x.dll" gives "C:\", a
// bare "x.dll" gives ""). Windows accepts "\" and "/", Linux "/".
std::wstring libraryFolder(const std::wstring& path);

// AddDllDirectory; null on failure and always null on Linux.
DllDirectoryCookie addDllDirectory(const std::wstring& directory);
void removeDllDirectory(DllDirectoryCookie cookie);
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS); nothing on Linux.
void useDefaultDllDirectories();

}  // namespace Orvel::platform
