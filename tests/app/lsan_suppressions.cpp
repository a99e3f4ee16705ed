// Qt's font fallback keeps fontconfig patterns it never frees, and fontconfig keeps its parsed
// configuration, and the X11 platform's D-Bus connection keeps a buffer; none of it is this
// program's memory. LeakSanitizer reads this list at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}
