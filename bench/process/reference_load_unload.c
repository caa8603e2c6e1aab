/* Listing reference: loads and unloads one library a given number of times,
 * the loads a listing of valid plugins cannot do without. Exit status 0 only
 * when every load succeeded. Usage: reference_load_unload <library> <count> */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char* argv[]) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <library> <count>\n", argv[0]);
    return 2;
  }
  const long count = strtol(argv[2], NULL, 10);
  for (long i = 0; i < count; ++i) {
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
      fprintf(stderr, "%s\n", dlerror());
      return 1;
    }
    dlclose(library);
  }
  printf("Loaded and unloaded %ld times\n", count);
  return 0;
}
