#include "view/pane_book.h"

#include "reader/reader_session.h"
#include "view/txt_rich_edit.h"

#include <algorithm>

CPaneBook::CPaneBook(CTxtRichEdit& pane, CReaderSession& session)
    : m_pane(pane), m_session(session) {
    CTxtRichEdit::TextSupplier supplier;
    supplier.more = [this](bool forward) { return MoreText(forward); };
    supplier.edgeLength = [this](bool front) {
        return m_strip.Count() > 1 ? (front ? m_strip.FrontLength() : m_strip.BackLength()) : -1;
    };
    supplier.dropped = [this](bool front) { front ? m_strip.PopFront() : m_strip.PopBack(); };
    m_pane.SetTextSupplier(std::move(supplier));
}

void CPaneBook::ShowPlace(int page, int pagePosition, bool anew) {
    if (!m_session.HasBook()) {
        return;
    }
    if (!anew && m_strip.StartOf(page) >= 0) {
        // A page the pane holds (the next one, a chapter close by): only the screen moves.
        m_pane.ScrollToCharacter(PanePositionOf(page, pagePosition));
        m_pane.KeepTextAround(CTxtRichEdit::kScreensNeeded);
        m_pane.ScheduleKeepTextAround();
        return;
    }
    // The page alone first, then the text around it: the paragraph cut by the page's top edge
    // is whole before the screen is placed, so its lines wrap as they always will.
    const ShownPage& shown = m_session.ShownText(page);
    m_strip.Clear();
    m_strip.PushBack(page, int(shown.text.size()));
    m_pane.SetPaneText(shown.text);
    const int target = shown.ShownOf(pagePosition);
    m_pane.ScrollToCharacter(target);
    m_pane.KeepTextAround();
    m_pane.ScrollToCharacter(PanePositionOf(page, pagePosition));
    m_pane.KeepTextAround();
}

std::optional<std::u16string> CPaneBook::MoreText(bool forward) {
    if (!m_session.HasBook() || m_strip.Empty()) {
        return std::nullopt;
    }
    const int page = forward ? m_strip.LastPage() + 1 : m_strip.FirstPage() - 1;
    if (page < 0 || page >= m_session.Book().GetPageCount()) {
        return std::nullopt;
    }
    const std::u16string& text = m_session.ShownText(page).text;
    if (forward) {
        m_strip.PushBack(page, int(text.size()));
    } else {
        m_strip.PushFront(page, int(text.size()));
    }
    return text;
}

int CPaneBook::PanePositionOf(int page, int pagePosition) {
    const int start = m_strip.StartOf(page);
    if (start < 0) {
        return -1;
    }
    return start + m_session.ShownText(page).ShownOf(pagePosition);
}

int CPaneBook::PanePositionOfOffset(int page, std::uint64_t offset) {
    return PanePositionOf(page, int(m_session.Book().TextPositionOf(page, offset)));
}

std::pair<int, int> CPaneBook::PagePlaceOf(int panePosition) {
    const CPageStrip::Place place = m_strip.PlaceOf(panePosition);
    if (place.page < 0) {
        return {m_session.Book().m_nCurPage, 0};
    }
    const std::vector<int>& source = m_session.ShownText(place.page).source;
    if (std::size_t(place.shown) < source.size()) {
        return {place.page, source[std::size_t(place.shown)]};
    }
    return {place.page, source.empty() ? 0 : source.back() + 1};
}

std::pair<int, int> CPaneBook::TopPlaceOf(int lineStart) {
    // A line that runs over a page edge is the later page's: → shows a page's start on the
    // first line, and that line names the page.
    const int next = m_pane.LineIndex(m_pane.LineFromChar(lineStart) + 1);
    const int lineEnd = next < 0 ? m_strip.Length() : next - 1;
    const int endPage = m_strip.PlaceOf(std::max(lineStart, lineEnd)).page;
    const std::pair<int, int> place = PagePlaceOf(lineStart);
    return place.first == endPage || endPage < 0 ? place : std::pair<int, int>{endPage, 0};
}
