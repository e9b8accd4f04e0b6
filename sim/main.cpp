// tmv-logger-sim: serves an emulated logger on a pseudo-terminal.
int main() { return 0; }
