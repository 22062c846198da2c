#include "/dev/zero"
int main(void) { return 0; }
