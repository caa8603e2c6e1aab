/* Peak-memory reference of the verification: a process that loads the plugin
 * library, prints one line and unloads it again. Exit status 0 only when the
 * library loaded. Usage: reference_load_plugin <library> */
#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char* argv[]) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <library>\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  printf("Loaded %s\n", argv[1]);
  dlclose(library);
  return 0;
}
