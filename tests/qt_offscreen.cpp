// Linked into every widget test: before main() runs, the tests get Qt's offscreen platform (unless
// the caller chose another one), so they need no display.
#include <cstdlib>

namespace {

const bool kOffscreen = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();

} // namespace
