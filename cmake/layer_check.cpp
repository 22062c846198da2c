// Links every object of one layer with the layers below it (CMakeLists.txt):
// the build fails on a call into a layer above.
int main() { return 0; }
