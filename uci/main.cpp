// The entry of the main engine.
int main() { return 0; }
