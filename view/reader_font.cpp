#include "view/reader_font.h"

#include <QFontMetrics>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>

namespace {

// The face fontconfig would use for `face` in Simplified Chinese text. The reader's faces are
// Windows fonts, which Linux rarely has; this finds the installed CJK face that stands in for
// them. Asked once per face.
QString FallbackFaceFor(const QString& face) {
    static std::map<QString, QString> cache;
    const auto found = cache.find(face);
    if (found != cache.end()) {
        return found->second;
    }
    QString result;
    if (FcInit()) {
        FcPattern* pattern = FcPatternCreate();
        const QByteArray family = face.toUtf8();
        FcPatternAddString(pattern, FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(family.constData()));
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult status = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &status);
        FcChar8* matched = nullptr;
        if (match != nullptr &&
            FcPatternGetString(match, FC_FAMILY, 0, &matched) == FcResultMatch) {
            result = QString::fromUtf8(reinterpret_cast<const char*>(matched));
        }
        if (match != nullptr) {
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    cache.emplace(face, result);
    return result;
}

} // namespace

QFont ReaderFont(const QString& faceName, int height) {
    QStringList families{faceName};
    const QString fallback = FallbackFaceFor(faceName);
    if (!fallback.isEmpty() && fallback != faceName) {
        families << fallback;
    }
    QFont font;
    font.setFamilies(families);
    font.setWeight(QFont::Thin);
    font.setStyleHint(QFont::SansSerif);
    font.setHintingPreference(QFont::PreferFullHinting);
    // The height is the cell height (ascent + descent), not the em size: scale the pixel size
    // until the font's cell matches it.
    const int cell = std::max(1, height);
    font.setPixelSize(cell);
    const int measured = QFontMetrics(font).height();
    if (measured > 0 && measured != cell) {
        font.setPixelSize(std::max(1, int(double(cell) * cell / measured + 0.5)));
    }
    return font;
}
