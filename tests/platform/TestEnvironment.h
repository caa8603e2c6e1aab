// Setting environment variables differs per platform; the tests use this.
#pragma once

void setTestEnvironmentVariable(const char* name, const char* value);
void unsetTestEnvironmentVariable(const char* name);
