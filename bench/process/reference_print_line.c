/* Start-up reference: the least a process can do that prints one line. */
#include <stdio.h>

int main(void) {
  puts("[Error] Invalid number of arguments");
  return 0;
}
