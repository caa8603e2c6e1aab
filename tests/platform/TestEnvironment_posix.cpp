#include "TestEnvironment.h"

#include <cstdlib>

void setTestEnvironmentVariable(const char* name, const char* value) { setenv(name, value, 1); }
void unsetTestEnvironmentVariable(const char* name) { unsetenv(name); }
