// Leak checking in the sanitizer build: fontconfig keeps its configuration and caches for the life
// of the process and Qt never finalises it. Those blocks are not leaks of ours.

extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
