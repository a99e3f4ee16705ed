#include "shelf/shelf_command.h"

#include "platform/paths.h"
#include "shelf/book_shelf.h"
#include "shelf/shelf_adder.h"

#include <QDateTime>

#include <cstdio>
#include <memory>
#include <string_view>

namespace {

std::string Escaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (const char c : field) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Escaped(const QString& field) {
    return Escaped(field.toStdString());
}

// The shelf of this data directory, open; null (and said why) when there is none.
std::unique_ptr<CBookShelf> OpenShelf() {
    auto shelf = std::make_unique<CBookShelf>(FsPathFromAnsi(GetDataDir()));
    if (!shelf->Open()) {
        std::fprintf(stderr, "veska: the shelf %s cannot be opened: %s\n",
                     shelf->FilePath().c_str(), shelf->Error().toLocal8Bit().constData());
        return nullptr;
    }
    if (!shelf->SetAsideName().empty()) {
        std::fprintf(stderr,
                     "veska: the shelf was damaged: it was renamed %s and a new one begun\n",
                     shelf->SetAsideName().c_str());
    }
    return shelf;
}

} // namespace

int AddToShelf(const std::vector<std::string>& paths, const std::function<void()>& added) {
    const std::unique_ptr<CBookShelf> shelf = OpenShelf();
    if (!shelf) {
        return 1;
    }
    CShelfAdder adder(*shelf, [](CShelfAdder::Event event, const std::string& path) {
        const char* what = nullptr;
        switch (event) {
        case CShelfAdder::Event::Added:
            what = "added";
            break;
        case CShelfAdder::Event::Known:
            return; // adding a folder again must not list it all again
        case CShelfAdder::Event::NotABook:
            what = "not a book";
            break;
        case CShelfAdder::Event::Unreadable:
            what = "unreadable";
            break;
        case CShelfAdder::Event::LinkLoop:
            what = "link loop";
            break;
        }
        std::printf("%s\t%s\n", what, Escaped(path).c_str());
        if (event == CShelfAdder::Event::Added) {
            std::fflush(stdout); // whoever reads on may count on it: it is written
        }
    });
    bool ok = true;
    for (const std::string& path : paths) {
        ok = adder.AddPath(path) && ok;
    }
    const bool written = adder.Finish();
    if (!written) {
        std::fprintf(stderr, "veska: the shelf %s cannot be written: %s\n",
                     shelf->FilePath().c_str(), shelf->Error().toLocal8Bit().constData());
    }
    const CShelfAdder::Counts& counts = adder.Totals();
    std::printf("%d added, %d already on the shelf, %d skipped (%d not books, %d unreadable, "
                "%d link loops)\n",
                counts.added, counts.known, counts.notBooks + counts.unreadable + counts.linkLoops,
                counts.notBooks, counts.unreadable, counts.linkLoops);
    std::fflush(stdout);
    if (counts.added > 0 && added) {
        added();
    }
    return ok && written ? 0 : 1;
}

int PrintShelf() {
    const std::unique_ptr<CBookShelf> shelf = OpenShelf();
    if (!shelf) {
        return 1;
    }
    std::string out;
    char progress[32];
    for (const ShelfBook& book : shelf->Books()) {
        std::snprintf(progress, sizeof(progress), "%.1f%%", book.progress);
        const QString lastRead = book.lastRead == 0
                                     ? QString()
                                     : QDateTime::fromSecsSinceEpoch(book.lastRead)
                                           .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        out += Escaped(book.title) + '\t' + Escaped(book.author) + '\t' + progress + '\t' +
               lastRead.toStdString() + '\t' + Escaped(book.path) + '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    return 0;
}
