// The program of a layer's link check (see the top-level CMakeLists.txt): it
// does nothing; linking it with all of a layer's objects and only the layers
// below shows that the layer calls nothing above itself.
int main() { return 0; }
