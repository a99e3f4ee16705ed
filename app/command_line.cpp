#include "app/command_line.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

// The manual page, res/man/veska.1, says the same.
const char* const kReaderUsage =
    "usage: veska [BOOK]\n"
    "       veska --add PATH...\n"
    "       veska --shelf\n"
    "  veska               starts the reader\n"
    "  veska BOOK          opens BOOK (a text file) where its reading stopped\n"
    "  veska --add PATH... puts books, and the .txt books of folders and their folders, on the\n"
    "                      shelf, and prints what it added and skipped\n"
    "  veska --shelf       prints the shelf, a book a line: title, author, progress, last read,\n"
    "                      path, separated by tabs\n"
    "  veska -h, --help    prints this help\n"
    "  veska --version     prints the version\n"
    "A reader already running with the same data directory opens BOOK itself and comes to the\n"
    "front; the new launch then ends at once. The shelf commands need no display.\n";

ReaderCommandLine ParseReaderCommandLine(const std::vector<std::string>& args) {
    ReaderCommandLine result;
    // The help and the version first: they answer whatever else the line holds.
    for (const std::string& arg : args) {
        if (arg == "--") {
            break;
        }
        if (arg == "--help" || arg == "-h") {
            result.action = ReaderCommandLine::Action::Help;
            return result;
        }
        if (arg == "--version") {
            result.action = ReaderCommandLine::Action::Version;
            return result;
        }
    }
    bool optionsEnded = false;
    std::vector<std::string> operands;
    const auto usageError = [&](std::string problem) {
        result.action = ReaderCommandLine::Action::UsageError;
        result.problem = std::move(problem);
        return result;
    };
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (arg == "--add" || arg == "--shelf")) {
            if (result.action != ReaderCommandLine::Action::Read) {
                return usageError("--add and --shelf go alone, once");
            }
            result.action = arg == "--add" ? ReaderCommandLine::Action::AddToShelf
                                           : ReaderCommandLine::Action::PrintShelf;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option \"" + arg + "\"");
        }
        if (arg.empty()) {
            return usageError(result.action == ReaderCommandLine::Action::AddToShelf
                                  ? "a PATH is empty"
                                  : "the book's name is empty");
        }
        operands.push_back(arg);
    }
    switch (result.action) {
    case ReaderCommandLine::Action::AddToShelf:
        if (operands.empty()) {
            return usageError("--add needs a PATH");
        }
        result.paths = std::move(operands);
        break;
    case ReaderCommandLine::Action::PrintShelf:
        if (!operands.empty()) {
            return usageError("--shelf takes no PATH");
        }
        break;
    default:
        if (operands.size() > 1) {
            return usageError("only one BOOK at a time");
        }
        result.book = operands.empty() ? std::string() : operands.front();
    }
    return result;
}

std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& args) {
    // Qt's own options, which the application object takes out of the command line.
    static constexpr std::string_view kWithValue[] = {
        "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
        "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
        "style",       "stylesheet",         "title",         "icon"};
    static constexpr std::string_view kAlone[] = {"reverse", "widgetcount", "nograb",
                                                  "dograb",  "sync",        "qmljsdebugger"};
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        if (name == "--") {
            kept.insert(kept.end(), args.begin() + std::ptrdiff_t(i), args.end());
            break;
        }
        if (name.size() < 2 || name[0] != '-') {
            kept.push_back(args[i]);
            continue;
        }
        name.remove_prefix(name[1] == '-' ? 2 : 1);
        const std::size_t equals = name.find('=');
        const std::string_view bare = name.substr(0, equals);
        const auto listed = [&](const auto& names) {
            return std::find(std::begin(names), std::end(names), bare) != std::end(names);
        };
        if (listed(kWithValue)) {
            i += equals == std::string_view::npos ? 1 : 0; // its value follows
        } else if (!listed(kAlone)) {
            kept.push_back(args[i]);
        }
    }
    return kept;
}

bool PrintReaderAnswer(const ReaderCommandLine& commandLine) {
    switch (commandLine.action) {
    case ReaderCommandLine::Action::Help:
        std::fputs(kReaderUsage, stdout);
        break;
    case ReaderCommandLine::Action::Version:
        std::fputs("veska " VESKA_VERSION "\n", stdout);
        break;
    default:
        return false;
    }
    std::fflush(stdout);
    return true;
}

int ReportReaderUsageError(const ReaderCommandLine& commandLine) {
    std::fprintf(stderr, "veska: %s\n", commandLine.problem.c_str());
    std::fputs(kReaderUsage, stderr);
    return 2;
}
