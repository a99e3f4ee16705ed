#pragma once

#include <functional>
#include <string>
#include <vector>

// The shelf's command-line answers, which need no display.

// `veska --add PATH...`: adds the books and folders, printing a line for each book added and
// each file skipped, then the counts. 0 when every PATH was read and the shelf written.
// `added` is called once at the end when a book was added.
int AddToShelf(const std::vector<std::string>& paths, const std::function<void()>& added = {});

// `veska --shelf`: one line per book, fields separated by tabs: title, author, progress
// ("42.3%"), last read (local time, "2026-12-07T20:15:00"; empty if never), path. A backslash,
// tab, line feed or carriage return inside a field is written \\, \t, \n or \r.
int PrintShelf();
