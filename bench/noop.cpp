// Yardstick: the cost of starting and ending a process built like light.exe.
int wmain() {
    return 0;
}
