#pragma once

// Sets up libcurl's global state (curl_global_init with CURL_GLOBAL_ALL) the first time it is
// called; later calls, from any thread, do nothing. Must run before any other libcurl call: the
// program calls it at start-up, and the URL fetch library calls it again before it makes a
// handle. The state is never torn down, so worker threads may use libcurl until they end.
void UrlGetGlobalInit();
