#include "widgets/link_opener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace {
LinkOpener& CurrentOpener() {
    static LinkOpener opener;
    return opener;
}
} // namespace

void OpenLink(const std::u16string& link) {
    if (link.empty()) {
        return;
    }
    const QUrl url = QUrl::fromUserInput(QString::fromStdU16String(link));
    if (!url.isValid()) {
        return;
    }
    const LinkOpener opener = CurrentOpener();
    if (opener) {
        opener(url);
    } else {
        QDesktopServices::openUrl(url);
    }
}

ScopedLinkOpener::ScopedLinkOpener(LinkOpener opener) : m_previous(std::move(CurrentOpener())) {
    CurrentOpener() = std::move(opener);
}

ScopedLinkOpener::~ScopedLinkOpener() {
    CurrentOpener() = std::move(m_previous);
}
