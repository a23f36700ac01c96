#include "render/fonts.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QStringList>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "doc/block_hx_font.h"
#include "doc/constants.h"

namespace varelo::render {

namespace {

// The one mapping from the sheet's Chinese font names to the families Debian installs
// (fonts-noto-cjk, fonts-arphic-ukai), with the line metrics of the named font in em: the
// Chinese system fonts' glyph box is one em (0.859 above the baseline, 0.141 below) and the
// word processor gives their single-spaced lines 1.3 em; the stand-ins' own boxes are up
// to 1.45 em and would clip on the sheet's exact 12 pt lines.
struct FontMapping {
    const char* documentName;
    const char* family;
    double ascent, descent, leading;
};
constexpr FontMapping kFontMap[] = {
    {host::kFontHei, "Noto Sans CJK SC", 0.859, 0.141, 0.3},
    {host::kFontSong, "Noto Serif CJK SC", 0.859, 0.141, 0.3},
    {host::kFontKai, "AR PL UKai CN", 0.859, 0.141, 0.3},
};
constexpr const char* kFallbackFamily = "Noto Sans CJK SC";

std::mutex& Mutex() {
    static std::mutex m;
    return m;
}

// Registers the bubble font built into the program; returns the family Qt gave it.
QString BubbleFamily() {
    static const QString family = [] {
        const std::string_view bytes = host::BlockHxFontBytes();
        const int id = QFontDatabase::addApplicationFontFromData(
            QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        const QStringList families =
            id < 0 ? QStringList{} : QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString{} : families.front();
    }();
    return family;
}

// Call with Mutex() held.
void WarnOnce(const QString& missing, const QString& replacement) {
    static std::set<QString> warned;
    if (!warned.insert(missing).second) return;
    std::fprintf(stderr, "varelo: font \"%s\" is not installed; drawing with \"%s\" instead\n",
                 missing.toUtf8().constData(), replacement.toUtf8().constData());
}

QString Fallback(const QString& missing) {
    std::lock_guard lock(Mutex());
    WarnOnce(missing, QString::fromUtf8(kFallbackFamily));
    if (!QFontDatabase::hasFamily(QString::fromUtf8(kFallbackFamily)))
        WarnOnce(QString::fromUtf8(kFallbackFamily), QStringLiteral("the system's default font"));
    return QString::fromUtf8(kFallbackFamily);
}

}  // namespace

QString FallbackFamily() {
    return QString::fromUtf8(kFallbackFamily);
}

QString SystemFamily(const std::string& documentFont) {
    const QString name = QString::fromStdString(documentFont);
    if (name.compare(QString::fromUtf8(host::kFontBubble), Qt::CaseInsensitive) == 0) {
        const QString bubble = BubbleFamily();
        return bubble.isEmpty() ? Fallback(name) : bubble;
    }
    QString family = name;
    for (const FontMapping& m : kFontMap)
        if (documentFont == m.documentName) family = QString::fromUtf8(m.family);
    if (family.isEmpty()) return FallbackFamily();  // no font named: the default, silently
    return QFontDatabase::hasFamily(family) ? family : Fallback(family);
}

const FontFace& Face(const std::string& documentFont, bool bold) {
    static std::mutex cacheMutex;
    static std::map<std::pair<std::string, bool>, std::unique_ptr<FontFace>> cache;
    {
        std::lock_guard lock(cacheMutex);
        if (auto it = cache.find({documentFont, bold}); it != cache.end()) return *it->second;
    }
    QFont font(SystemFamily(documentFont));
    font.setPixelSize(static_cast<int>(kReferencePixelSize));
    font.setBold(bold);
    // Unhinted outlines scale linearly, so measurements hold at every output size.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    auto face = std::make_unique<FontFace>(FontFace{font, QFontMetricsF(font)});
    face->ascent = face->metrics.ascent();
    face->descent = face->metrics.descent();
    face->leading = face->metrics.leading();
    for (const FontMapping& m : kFontMap)
        if (documentFont == m.documentName) {
            face->ascent = m.ascent * kReferencePixelSize;
            face->descent = m.descent * kReferencePixelSize;
            face->leading = m.leading * kReferencePixelSize;
        }
    std::lock_guard lock(cacheMutex);
    auto& slot = cache[{documentFont, bold}];
    if (!slot) slot = std::move(face);
    return *slot;
}

}  // namespace varelo::render
