#include "url_get/core/url_get_assert.h"

#include <cstdio>

void UrlGetAssertFailed(const char* file, int line, const char* expression) {
    std::printf("AssertFailed: %s, line: %d\nexpression: %s\n", file, line, expression);
    std::fflush(stdout);
}
