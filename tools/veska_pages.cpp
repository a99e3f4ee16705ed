// veska-pages BOOK      prints "encoding NAME" and "pages N"
// veska-pages BOOK K    prints the text of page K (counted from 0) as UTF-8
// Its manual page, res/man/veska-pages.1, says the same as the usage text.
#include "platform/code_page.h"
#include "text/resource_data.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

constexpr const char* kUsage =
    "usage: veska-pages BOOK [PAGE]\n"
    "  veska-pages BOOK       prints the book's encoding and page count\n"
    "  veska-pages BOOK PAGE  prints page PAGE (counted from 0) as UTF-8\n"
    "  veska-pages -h, --help prints this help\n"
    "  veska-pages --version  prints the version\n";

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

} // namespace

int main(int argc, char** argv) {
    LegacyCodePageName(); // reports an unknown VESKA_CODEPAGE before anything else
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("veska-pages " VESKA_VERSION "\n", stdout);
        return 0;
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
    if (book.OpenTxt(DecodeUtf8(argv[1])) != 0) {
        const int openErrno = errno;
        std::fprintf(stderr, "veska-pages: cannot open book \"%s\": %s\n", argv[1],
                     OpenFailureReason(argv[1], openErrno).c_str());
        return 1;
    }
    if (argc == 2) {
        const std::string summary = std::string("encoding ") + TextEncodingName(book.m_nEncoding) +
                                    "\npages " + std::to_string(book.GetPageCount()) + "\n";
        return WriteAll(summary) ? 0 : 1;
    }
    book.GotoPage(page);
    return WriteAll(EncodeUtf8(book.m_strText)) ? 0 : 1;
}
