#pragma once

#include <string>
#include <vector>

// What the reader's command line asks for. Plain C++, so that `--help` and `--version` are
// answered before the application object needs a display.
struct ReaderCommandLine {
    enum class Action { Read, Help, Version, AddToShelf, PrintShelf, UsageError };
    Action action = Action::Read;
    std::string book;               // the book to open, as given; empty for none
    std::vector<std::string> paths; // the books and folders for AddToShelf, as given
    std::string problem;            // what is wrong, for UsageError
};

// The arguments after the program name. `--help`/`-h` and `--version` win over anything else
// before "--"; one BOOK at most; `--add` takes one PATH or more, `--shelf` none, and neither goes
// with the other; "--" ends the options, so a book may start with '-'.
ReaderCommandLine ParseReaderCommandLine(const std::vector<std::string>& args);

// The arguments without the toolkit's own options (-platform NAME, -display D, -reverse...), as
// the application object leaves them: what the reader's options are checked against before
// there is a display.
std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& args);

// Prints the help or the version on standard output; false for the other actions.
bool PrintReaderAnswer(const ReaderCommandLine& commandLine);

// Prints the problem and the usage on standard error; the exit status for a usage error.
int ReportReaderUsageError(const ReaderCommandLine& commandLine);

extern const char* const kReaderUsage;
