#pragma once

#include <functional>
#include <string>

class QUrl;

// Every web page, mail link or file that the program hands to the desktop goes through OpenLink,
// so that tests can see the targets without starting a browser.
//
// Without an opener installed OpenLink is QDesktopServices::openUrl.
using LinkOpener = std::function<void(const QUrl&)>;

// Opens a link as the shell would: a URL with a scheme as it is, anything else as a local path.
void OpenLink(const std::u16string& link);

// Installs an opener for the lifetime of the guard (tests only); guards nest.
class ScopedLinkOpener {
public:
    explicit ScopedLinkOpener(LinkOpener opener);
    ~ScopedLinkOpener();
    ScopedLinkOpener(const ScopedLinkOpener&) = delete;
    ScopedLinkOpener& operator=(const ScopedLinkOpener&) = delete;

private:
    LinkOpener m_previous;
};
