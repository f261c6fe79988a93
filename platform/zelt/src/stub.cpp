namespace zelt { int coreVersion() { return 1; } }
