#include "text/code_page_detector.h"

#include "platform/code_page.h"
#include "text/encoding_choice.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <memory>

namespace {

// The detector's answer for the sample, "" when it has none.
std::string Uchardet(std::string_view sample) {
    const std::unique_ptr<uchardet, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) {
        return {};
    }
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name != nullptr ? name : "";
}

// Whether the sample reads as text in the code page: at most one character in a hundred
// malformed, which a stray byte or two in a real book stays under.
bool DecodesAsText(std::string_view sample, const std::string& codePage) {
    const std::u16string text = DecodeCodePage(sample, codePage);
    const auto bad = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\uFFFD'));
    return bad * 100 <= text.size();
}

} // namespace

std::string CCodePageDetector::DetectLegacyCodePage(std::string_view sample) {
    if (LegacyCodePageForced()) {
        return LegacyCodePageName();
    }
    const std::string codePage = CEncodingChoice::LegacyCodePageOf(Uchardet(sample));
    if (codePage.empty() || !CodePageAvailable(codePage) || !DecodesAsText(sample, codePage)) {
        return LegacyCodePageName();
    }
    return codePage;
}
