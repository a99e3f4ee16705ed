// veska-pages BOOK      prints "encoding NAME", "pages N" and "codepage NAME"
// veska-pages BOOK K    prints the text of page K (counted from 0) as UTF-8
// veska-pages --chapters BOOK     prints "PAGE<TAB>TITLE" per chapter, as the reader lists them
// veska-pages --find TEXT BOOK    prints "PAGE<TAB>LINE" per occurrence of TEXT
// --encoding NAME       reads the book in that encoding instead of detecting it
// --script s|t|tw|hk    prints the text in Simplified, Traditional, Taiwan's or Hong Kong's script
// Chapters follow the built-in rules and those of chapter_rules.json in the data directory;
// titles and found lines are cleaned up by replace_rules.json there, and --find passes over
// what those rules take out.
// --rule NAME           lists the headings of that chapter rule instead of the one picked
// Its manual page, res/man/veska-pages.1, says the same as the usage text.
#include "platform/code_page.h"
#include "platform/paths.h"
#include "text/book_scanner.h"
#include "text/chapter_finder.h"
#include "text/chapter_rule_file.h"
#include "text/encoding_choice.h"
#include "text/replace_rule_file.h"
#include "text/resource_data.h"
#include "text/script_converter.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace {

constexpr const char* kUsage =
    "usage: veska-pages BOOK [PAGE]\n"
    "       veska-pages --chapters BOOK\n"
    "       veska-pages --find TEXT BOOK\n"
    "       veska-pages --encoding NAME BOOK [PAGE]  (also before --chapters and --find)\n"
    "       veska-pages --script SCRIPT BOOK [PAGE]  (also before --chapters and --find)\n"
    "  veska-pages BOOK              prints the book's encoding, page count and code page\n"
    "  veska-pages BOOK PAGE         prints page PAGE (counted from 0) as UTF-8\n"
    "  veska-pages --chapters BOOK   prints each chapter heading: its page, a TAB, its title\n"
    "                                (a book without headings: chapters the reader makes;\n"
    "                                rules of chapter_rules.json in the data directory count)\n"
    "  veska-pages --find TEXT BOOK  prints each occurrence of TEXT (ASCII letters in any case,\n"
    "                                Chinese in either script): its page, a TAB, the line it\n"
    "                                begins in (clean-up rules of replace_rules.json in the\n"
    "                                data directory count, for titles too)\n"
    "  --rule NAME                   lists the headings of that chapter rule (with --chapters)\n"
    "  --encoding NAME               reads the book as GB18030, BIG5, SHIFT_JIS, EUC-KR, UTF-8,\n"
    "                                UTF-16LE or UTF-16BE instead of detecting its encoding\n"
    "  --script SCRIPT               prints the text converted with OpenCC to s (Simplified),\n"
    "                                t (Traditional), tw (Taiwan) or hk (Hong Kong)\n"
    "  veska-pages -h, --help        prints this help\n"
    "  veska-pages --version         prints the version\n";

int UsageError(const char* problem) {
    if (problem != nullptr) {
        std::fprintf(stderr, "veska-pages: %s\n", problem);
    }
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParsePage(const char* text, int& page) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        return false;
    }
    page = static_cast<int>(value);
    return true;
}

// Why a book could not be opened, in the words a user can act on.
std::string OpenFailureReason(const char* path, int openErrno) {
    struct stat st {};
    if (stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
        return S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a regular file";
    }
    return std::strerror(openErrno);
}

bool WriteAll(const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
           std::fflush(stdout) == 0;
}

int CannotOpen(const char* path) {
    const int openErrno = errno;
    std::fprintf(stderr, "veska-pages: cannot open book \"%s\": %s\n", path,
                 OpenFailureReason(path, openErrno).c_str());
    return 1;
}

// The text in the script asked for (as it is without one). A failure is reported once, and
// the text stays as it is.
std::u16string Converted(const CScriptConverter* converter, const std::u16string& text, bool& ok) {
    if (converter == nullptr) {
        return text;
    }
    std::string error;
    std::u16string result = converter->Convert(text, &error);
    if (!error.empty() && ok) {
        std::fprintf(stderr, "veska-pages: the text stays unconverted: %s\n", error.c_str());
    }
    ok = ok && error.empty();
    return result;
}

// --chapters BOOK and --find TEXT BOOK: one "PAGE<TAB>TEXT" line per hit, in book order.
int Scan(const char* path, const char* findText, const std::string& choice,
         const CScriptConverter* converter, const std::string& ruleName) {
    CResourceData book;
    if (book.OpenTxt(WidePathFromFs(path), choice) != 0) {
        return CannotOpen(path);
    }
    CBookScanner scanner;
    if (!scanner.Open(book.m_strPath, book.m_layout)) {
        return CannotOpen(path);
    }
    bool written = true;
    bool converted = true;
    const auto print = [&](const ScanHit& hit) {
        const std::string line = std::to_string(hit.page) + "\t" +
                                 EncodeUtf8(Converted(converter, hit.text, converted)) + "\n";
        written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
        return written;
    };
    CReplaceRules cleanUp;
    for (const std::string& problem : CReplaceRuleFile::LoadInto(GetDataDir(), cleanUp)) {
        std::fprintf(stderr, "veska-pages: %s\n", problem.c_str());
    }
    cleanUp.SetProblemFn([](const std::string& problem) {
        std::fprintf(stderr, "veska-pages: %s\n", problem.c_str());
    });
    scanner.SetCleanUp(cleanUp.ForBook(book.m_strPath));
    if (findText == nullptr) {
        // The chapters the reader lists: the headings of the rule that fits the book.
        CChapterRules rules = CChapterRules::BuiltIn();
        for (const std::string& problem : CChapterRuleFile::LoadInto(GetDataDir(), rules)) {
            std::fprintf(stderr, "veska-pages: %s\n", problem.c_str());
        }
        int forced = -1;
        if (!ruleName.empty()) {
            std::string names;
            for (std::size_t i = 0; i < rules.size(); ++i) {
                names += (i == 0 ? "" : ", ") + rules[i].Name();
                if (rules[i].Name() == ruleName && rules[i].IsValid() && forced < 0) {
                    forced = int(i);
                    rules[i].SetEnabled(true);
                }
            }
            if (forced < 0) {
                std::fprintf(stderr, "veska-pages: no chapter rule named \"%s\" (rules: %s)\n",
                             ruleName.c_str(), names.c_str());
                return 2;
            }
        }
        const std::optional<CChapterList> chapters = CChapterFinder::Find(scanner, rules, forced);
        if (chapters && chapters->MadeByReader() && !chapters->empty()) {
            std::fputs("veska-pages: no chapter headings; chapters made by the reader at paragraph "
                       "ends\n",
                       stderr);
        }
        for (std::size_t i = 0; chapters && i < chapters->size() && written; ++i) {
            print((*chapters)[i]);
        }
    } else {
        scanner.Find(DecodeUtf8(findText), 0, scanner.Size(), true, print);
    }
    return written && std::fflush(stdout) == 0 && converted ? 0 : 1;
}

// Takes "--OPTION VALUE" (or "--OPTION=VALUE") out of the arguments: its value, nothing when it
// is not there, or "" with a message when it has none.
std::optional<std::string> TakeOption(int& argc, char** argv, const std::string& option,
                                      const char* valueName) {
    std::optional<std::string> value;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        int used = 0;
        if (arg == option && i + 1 < argc) {
            value = argv[i + 1];
            used = 2;
        } else if (arg.starts_with(option + "=")) {
            value = arg.substr(option.size() + 1);
            used = 1;
        } else if (arg == option) {
            value = "";
        } else {
            continue;
        }
        if (value->empty()) {
            std::fprintf(stderr, "veska-pages: %s needs a %s\n", option.c_str(), valueName);
            return value;
        }
        for (int k = i; k + used <= argc; ++k) {
            argv[k] = argv[k + used]; // argv[argc] is the terminating null
        }
        argc -= used;
        --i;
    }
    return value;
}

// Takes "--encoding NAME" out of the arguments. False, with a message, for a missing or unknown
// name.
bool TakeEncodingOption(int& argc, char** argv, std::string& choice) {
    const std::optional<std::string> name = TakeOption(argc, argv, "--encoding", "NAME");
    if (!name) {
        return true;
    }
    if (name->empty()) {
        return false;
    }
    choice = CEncodingChoice::Canonical(*name);
    if (choice.empty()) {
        std::fprintf(stderr,
                     "veska-pages: unknown encoding \"%s\" (known: GB18030, BIG5, SHIFT_JIS, "
                     "EUC-KR, UTF-8, UTF-16LE, UTF-16BE)\n",
                     name->c_str());
    }
    return !choice.empty();
}

// Takes "--script SCRIPT" out of the arguments. False, with a message, for a missing or unknown
// script.
bool TakeScriptOption(int& argc, char** argv, CScriptConverter::Script& script) {
    const std::optional<std::string> name = TakeOption(argc, argv, "--script", "SCRIPT");
    if (!name) {
        return true;
    }
    // Converting to the book's own script is what printing without the option does.
    const std::optional<CScriptConverter::Script> named = CScriptConverter::FromName(*name);
    if (named && *named != CScriptConverter::Script::kOriginal) {
        script = *named;
        return true;
    }
    if (!name->empty()) {
        std::fprintf(stderr, "veska-pages: unknown script \"%s\" (known: s, t, tw, hk)\n",
                     name->c_str());
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    LegacyCodePageName(); // reports an unknown VESKA_CODEPAGE before anything else
    std::string choice;
    CScriptConverter::Script script = CScriptConverter::Script::kOriginal;
    const std::optional<std::string> rule = TakeOption(argc, argv, "--rule", "NAME");
    if ((rule && rule->empty()) || !TakeEncodingOption(argc, argv, choice) ||
        !TakeScriptOption(argc, argv, script)) {
        return 2;
    }
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("veska-pages " VESKA_VERSION "\n", stdout);
        return 0;
    }
    // The dictionaries are loaded only for a run that prints text.
    const auto converter = [script]() -> std::unique_ptr<CScriptConverter> {
        if (script == CScriptConverter::Script::kOriginal) {
            return nullptr;
        }
        return std::make_unique<CScriptConverter>(script);
    };
    if (argc >= 2 && std::strcmp(argv[1], "--chapters") == 0) {
        return argc == 3 ? Scan(argv[2], nullptr, choice, converter().get(), rule.value_or(""))
                         : UsageError("--chapters takes one BOOK");
    }
    if (argc >= 2 && std::strcmp(argv[1], "--find") == 0) {
        if (argc != 4 || argv[2][0] == '\0') {
            return UsageError("--find takes a non-empty TEXT and one BOOK");
        }
        return Scan(argv[3], argv[2], choice, converter().get(), rule.value_or(""));
    }
    if (argc < 2 || argc > 3) {
        return UsageError(nullptr);
    }
    int page = 0;
    if (argc == 3 && !ParsePage(argv[2], page)) {
        const std::string problem =
            std::string("PAGE must be a whole number, not \"") + argv[2] + "\"";
        return UsageError(problem.c_str());
    }

    CResourceData book;
    // Command-line arguments are file-system bytes (UTF-8).
    if (book.OpenTxt(WidePathFromFs(argv[1]), choice) != 0) {
        return CannotOpen(argv[1]);
    }
    if (argc == 2) {
        const std::string summary =
            std::string("encoding ") + TextEncodingName(book.m_nEncoding) + "\npages " +
            std::to_string(book.GetPageCount()) + "\ncodepage " +
            CEncodingChoice::CodePageName(book.m_nEncoding, book.m_layout.CodePage()) + "\n";
        return WriteAll(summary) ? 0 : 1;
    }
    book.GotoPage(page);
    bool converted = true;
    const std::string text = EncodeUtf8(Converted(converter().get(), book.m_strText, converted));
    return WriteAll(text) && converted ? 0 : 1;
}
