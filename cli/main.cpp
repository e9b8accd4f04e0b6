// tmv-cli: the command-line tool.
int main() { return 0; }
