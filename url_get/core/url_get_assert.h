#pragma once

// Reports a broken expectation of the URL fetch library on standard output and returns, so the
// program goes on:
//   AssertFailed: <file>, line: <line>
//   expression: <expression>
// Callers pass a fixed file and line, so a message reads the same whatever the layout of the
// source around it.
void UrlGetAssertFailed(const char* file, int line, const char* expression);
