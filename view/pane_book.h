#pragma once

#include "reader/page_strip.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class CReaderSession;
class CTxtRichEdit;

// The open book in the text pane: which pages the pane holds, the text it is given as the reader
// moves, and the map between pane positions and places in the book (a page and a position in
// its text, as the session and the place files count them).
class CPaneBook {
public:
    // Becomes the pane's text supplier.
    CPaneBook(CTxtRichEdit& pane, CReaderSession& session);

    // Shows the book with the line holding `pagePosition` of page `page` first on screen; `anew`
    // sets the text again even where the pane holds the page (its typesetting changed).
    void ShowPlace(int page, int pagePosition, bool anew = false);
    // Pane positions of places, -1 for a page the pane does not hold.
    int PanePositionOf(int page, int pagePosition);
    int PanePositionOfOffset(int page, std::uint64_t offset);
    // The place of a pane position.
    std::pair<int, int> PagePlaceOf(int panePosition);
    // The place of the display line starting at `lineStart` as the reader's place: its page is
    // the page the line ends in.
    std::pair<int, int> TopPlaceOf(int lineStart);
    // Whether the pane shows nothing of the book (no book, or pages of blanks only).
    bool Empty() const { return m_strip.Length() == 0; }
    int FirstPage() const { return m_strip.FirstPage(); }

private:
    // The page after or before those the pane holds.
    std::optional<std::u16string> MoreText(bool forward);

    CTxtRichEdit& m_pane;
    CReaderSession& m_session;
    CPageStrip m_strip;
};
