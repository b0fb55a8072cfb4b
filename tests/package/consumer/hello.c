/* The program the consumer's installer starts: it writes "ran" into the file it is given. */
#include <stdio.h>

int main(int argc, char** argv) {
  FILE* marker = argc > 1 ? fopen(argv[1], "w") : NULL;
  return marker != NULL && fputs("ran\n", marker) >= 0 && fclose(marker) == 0 ? 0 : 1;
}
