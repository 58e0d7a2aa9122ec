// The entry point of the floor link checks (cmake/Engine.cmake): the check
// is the link itself, which must find every symbol a floor uses in that
// floor or below it.
int main() { return 0; }
