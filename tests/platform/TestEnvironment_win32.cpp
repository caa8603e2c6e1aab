#include "TestEnvironment.h"

#include <stdlib.h>

// _putenv_s updates the C runtime's copy and the process environment that
// ExpandEnvironmentStringsW reads.
void setTestEnvironmentVariable(const char* name, const char* value) { _putenv_s(name, value); }
void unsetTestEnvironmentVariable(const char* name) { _putenv_s(name, ""); }
