/* A real 32-bit program for the installer ring: it starts and ends with 0, so the ring can tell that
   a program the clean left alone still starts. */
int main(void) { return 0; }
