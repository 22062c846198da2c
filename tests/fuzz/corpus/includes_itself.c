#include __FILE__
int main(void) { return 0; }
