// Fontconfig keeps part of its parsed configuration until the process ends;
// sanitized test runs are told not to count that as our leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
