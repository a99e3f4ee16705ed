#include "shelf/book_probe.h"

#include "platform/code_page.h"
#include "platform/paths.h"
#include "text/code_page_detector.h"
#include "text/encoding_choice.h"
#include "text/heading_rule.h"
#include "text/resource_data.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Title pages put 《书名》 on one of their first lines; further down it names some other book.
constexpr int kBracketLines = 5;
// Labels stand near the top; a book that has none by then has none at all.
constexpr int kLabelLines = 40;
constexpr qsizetype kMaxTitle = 100;
constexpr qsizetype kMaxAuthor = 50;

// A value ends at a wide gap or at the next label: "书名：某书　作者：某人".
std::u16string_view ValueOf(std::u16string_view value) {
    std::size_t end = std::min(value.size(), value.find(u"作者"));
    for (std::size_t i = 0; i < end; ++i) {
        if (value[i] == u'\t' || value[i] == u'\u3000' ||
            (value[i] == u' ' && i + 1 < value.size() && value[i + 1] == u' ')) {
            end = i;
        }
    }
    return TrimLine(value.substr(0, end));
}

// What follows the label and its colon, full-width or not.
std::optional<std::u16string_view> Labelled(std::u16string_view line, std::u16string_view label) {
    const std::size_t at = line.find(label);
    if (at == std::u16string_view::npos) {
        return std::nullopt;
    }
    const std::u16string_view rest = TrimLine(line.substr(at + label.size()));
    if (rest.empty() || (rest.front() != u'：' && rest.front() != u':')) {
        return std::nullopt;
    }
    return ValueOf(rest.substr(1));
}

// The name inside 《》 at the start of `s`, or nothing.
std::u16string_view Bracketed(std::u16string_view s) {
    const std::size_t close = s.find(u'》');
    if (s.empty() || s.front() != u'《' || close == std::u16string_view::npos) {
        return {};
    }
    return TrimLine(s.substr(1, close - 1));
}

QString Cleaned(std::u16string_view text, qsizetype limit) {
    QString result = QString::fromUtf16(text.data(), qsizetype(text.size())).left(limit);
    for (QChar& c : result) {
        // Bytes of a file name that no code page spells, and controls that would break a listing.
        if ((c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) || c.unicode() < 0x20) {
            c = QChar(0xFFFD);
        }
    }
    return result;
}

} // namespace

CBookProbe::Outcome CBookProbe::Probe(const std::string& fsPath, BookFacts& facts) {
    // Not blocking: a named pipe among the books must not stop the walk.
    const int fd = ::open(fsPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return Outcome::Unreadable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return Outcome::Unreadable;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Outcome::NotABook;
    }
    std::string sample(std::min<std::uint64_t>(kSampleBytes, std::uint64_t(info.st_size)), '\0');
    std::size_t got = 0;
    while (got < sample.size()) {
        const ssize_t n = ::read(fd, sample.data() + got, sample.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return Outcome::Unreadable;
        }
        if (n == 0) {
            break;
        }
        got += std::size_t(n);
    }
    ::close(fd);
    sample.resize(got);
    if (!LooksLikeText(sample)) {
        return Outcome::NotABook;
    }
    facts.size = std::uint64_t(info.st_size);
    // The encoding from the same opening bytes the reader detects it from, so both name it alike.
    const std::string_view head =
        std::string_view(sample).substr(0, CResourceData::kFirstWindowBytes);
    const TextEncoding encoding = CResourceData::DetectEncoding(head.data(), head.size());
    const std::string codePage = encoding == ENCODING_ANSI
                                     ? UsableCodePage(CCodePageDetector::DetectLegacyCodePage(head))
                                     : CEncodingChoice::CodePageName(encoding, "");
    facts.encoding = QString::fromStdString(CEncodingChoice::DisplayName(encoding, codePage));
    const std::u16string text =
        CResourceData::DecodeWindow(sample, CCodePageLayout(encoding, codePage));
    TitleAndAuthor(text, BookNameOfPath(WidePathFromFs(fsPath)), facts);
    return Outcome::Book;
}

void CBookProbe::TitleAndAuthor(std::u16string_view opening, std::u16string_view fileName,
                                BookFacts& facts) {
    std::u16string_view title;
    std::u16string_view author;
    const auto scan = [&](std::u16string_view text, int maxLines) {
        int lines = 0;
        std::size_t pos = 0;
        while (pos <= text.size() && lines < maxLines && (title.empty() || author.empty())) {
            std::size_t end = text.find_first_of(u"\r\n\u2028", pos);
            end = std::min(end, text.size());
            const std::u16string_view line = TrimLine(text.substr(pos, end - pos));
            pos = end + 1;
            if (line.empty()) {
                continue;
            }
            ++lines;
            if (title.empty()) {
                if (const auto value = Labelled(line, u"书名")) {
                    const std::u16string_view inside = Bracketed(*value);
                    title = inside.empty() ? *value : inside;
                } else if (lines <= kBracketLines) {
                    title = Bracketed(line);
                }
            }
            if (author.empty()) {
                author = Labelled(line, u"作者").value_or(std::u16string_view());
            }
        }
    };
    scan(opening, kLabelLines);
    std::u16string_view stem = fileName;
    const std::u16string_view suffix =
        stem.size() >= 4 ? stem.substr(stem.size() - 4) : std::u16string_view();
    if (suffix.size() == 4 && suffix[0] == u'.' && (suffix[1] | 0x20) == u't' &&
        (suffix[2] | 0x20) == u'x' && (suffix[3] | 0x20) == u't') {
        stem.remove_suffix(4);
    }
    if (title.empty() || author.empty()) {
        // Names like 《书名》作者：某人.txt say it too.
        scan(stem, 1);
    }
    if (title.empty()) {
        title = TrimLine(stem).empty() ? fileName : TrimLine(stem);
    }
    facts.title = Cleaned(title, kMaxTitle);
    facts.author = Cleaned(author, kMaxAuthor);
}

bool CBookProbe::LooksLikeText(std::string_view sample) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(sample[i]); };
    if (sample.size() >= 2 &&
        ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        return true;
    }
    return sample.find('\0') == std::string_view::npos;
}

bool CBookProbe::HasBookSuffix(std::string_view name) {
    if (name.size() < 4) {
        return false;
    }
    std::string suffix(name.substr(name.size() - 4));
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return suffix == ".txt";
}
