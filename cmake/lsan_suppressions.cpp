// Linked into the tests of a sanitizer build: leaks LeakSanitizer reports inside third-party
// libraries the suite cannot free (fontconfig's caches, which Qt loads once per process).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
