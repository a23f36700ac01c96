#include "render/text_layout.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <unordered_map>

namespace varelo::render {

namespace {

constexpr double kEpsilon = 1e-6;
// Where an exact line puts its baseline, as a share of its pitch from the top.
constexpr double kExactAscent = 0.8;

enum class AtomKind { Word, Space, Break };

// The smallest unit of line breaking: a word, one ideograph, a blank, or a line end.
struct Atom {
    AtomKind kind = AtomKind::Word;
    QString text;
    const FontFace* face = nullptr;
    double size = 0;
    double width = 0;
    bool glued = false;    // no line break allowed before it
    bool opening = false;  // no line break allowed after it
    double lead = 0;       // space before it, after the atom it follows on a line
    std::shared_ptr<const host::InlinePicture> picture{};  // a picture: a word of its size
};

bool IsBreak(char32_t c) {
    return c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x2028 || c == 0x2029;
}
bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == 0xA0 || c == 0x3000;
}
// Ideographs, kana, full-width forms and their punctuation break on either side.
bool IsWide(char32_t c) {
    return c >= 0x2E80;
}
// Closing punctuation never starts a line.
bool IsClosing(char32_t c) {
    static constexpr char32_t kClosing[] = {U'，', U'。', U'、', U'；', U'：', U'？', U'！', U'）',
                                            U'」', U'』', U'”',  U'’',  U'》', U'〉', U'】', U'〕',
                                            U'〗', U'］', U'｝', U'…',  U'．', U',',  U'.',  U';',
                                            U':',  U'?',  U'!',  U')',  U']',  U'}'};
    return std::find(std::begin(kClosing), std::end(kClosing), c) != std::end(kClosing);
}
// Opening punctuation never ends a line.
bool IsOpening(char32_t c) {
    static constexpr char32_t kOpening[] = {U'（', U'「', U'『', U'“',  U'‘', U'《', U'〈', U'【',
                                            U'〔', U'〖', U'［', U'｛', U'(', U'[',  U'{'};
    return std::find(std::begin(kOpening), std::end(kOpening), c) != std::end(kOpening);
}

double Measure(const FontFace& face, double size, const QString& text) {
    return face.metrics.horizontalAdvance(text) * size / kReferencePixelSize;
}

struct ResolvedFont {
    const FontFace* face;
    double size;
};

ResolvedFont ResolveFont(const host::Document& doc, const host::Paragraph& p,
                         const host::CharFormat& direct) {
    const host::CharFormat f = doc.Resolve(p, direct);
    const double size = std::max(0.0, f.size.value_or(10.5));
    return {&Face(f.font.value_or(std::string{}), f.bold.value_or(false)), size};
}

std::vector<Atom> MakeAtoms(const host::Document& doc, const host::Paragraph& p, double width) {
    std::vector<Atom> atoms;
    for (const host::Run& run : p.runs) {
        const ResolvedFont font = ResolveFont(doc, p, run.format);
        if (run.picture) {
            Atom a{AtomKind::Word, {}, font.face, font.size, 0, false};
            a.picture = run.picture;
            atoms.push_back(std::move(a));
            continue;
        }
        const std::u32string text = QString::fromStdString(run.text).toStdU32String();
        bool lastWasCr = false;
        for (const char32_t c : text) {
            const bool crlf = lastWasCr && c == '\n';
            lastWasCr = c == '\r';
            if (crlf) continue;
            if (IsBreak(c)) {
                atoms.push_back({AtomKind::Break, {}, font.face, font.size, 0, false});
                continue;
            }
            if (c < 0x20 || c == 0x7F) continue;  // other control characters draw nothing
            const QString ch = QString::fromUcs4(&c, 1);
            if (IsSpace(c)) {
                const QString blank = c == '\t' ? QStringLiteral(" ") : ch;
                atoms.push_back({AtomKind::Space, blank, font.face, font.size, 0, false});
                continue;
            }
            const bool glued = IsClosing(c);
            Atom* last = atoms.empty() ? nullptr : &atoms.back();
            const bool joinWord = !IsWide(c) && last && last->kind == AtomKind::Word &&
                                  last->face == font.face && last->size == font.size &&
                                  !last->text.isEmpty() && !IsWide(last->text.back().unicode());
            if (joinWord && !last->opening) {
                last->text += ch;
            } else {
                atoms.push_back({AtomKind::Word, ch, font.face, font.size, 0, glued, IsOpening(c)});
            }
        }
    }
    // Measure; a word wider than the line is broken between its characters.
    std::vector<Atom> out;
    out.reserve(atoms.size());
    for (Atom& a : atoms) {
        a.width = a.picture                   ? std::max(0.0, a.picture->width)
                  : a.kind == AtomKind::Break ? 0
                                              : Measure(*a.face, a.size, a.text);
        if (a.kind == AtomKind::Word && a.width > width + kEpsilon && a.text.size() > 1) {
            const std::u32string chars = a.text.toStdU32String();
            bool first = true;
            for (const char32_t c : chars) {
                const QString ch = QString::fromUcs4(&c, 1);
                out.push_back({AtomKind::Word, ch, a.face, a.size, Measure(*a.face, a.size, ch),
                               first && a.glued, false});
                first = false;
            }
        } else {
            out.push_back(std::move(a));
        }
    }
    // Chinese text and Latin letters or digits next to each other are set a fifth of the
    // font size apart, as the word processor does ("使用 2B 铅笔"); punctuation is not.
    for (size_t i = 1; i < out.size(); ++i) {
        const Atom &prev = out[i - 1], &a = out[i];
        if (prev.kind != AtomKind::Word || a.kind != AtomKind::Word || prev.picture || a.picture)
            continue;
        const char32_t before = prev.text.toStdU32String().back(),
                       after = a.text.toStdU32String().front();
        const auto alnum = [](char32_t c) { return c < 0x80 && std::isalnum(static_cast<int>(c)); };
        if ((IsWide(before) && alnum(after)) || (alnum(before) && IsWide(after)))
            out[i].lead = a.size / 5;
    }
    return out;
}

struct LineBuilder {
    const host::ParagraphFormat& format;
    ResolvedFont markFont;
    double width;
    std::vector<TextLine> lines;
    std::vector<const Atom*> current;

    void Finish(bool lastOfParagraph) {
        // Blanks at the end of a line take no room.
        size_t end = current.size();
        while (end > 0 && current[end - 1]->kind == AtomKind::Space) --end;

        TextLine line;
        double ascent = 0, descent = 0, leading = 0;
        auto takeMetrics = [&](const FontFace& face, double size) {
            const double k = size / kReferencePixelSize;
            ascent = std::max(ascent, face.ascent * k);
            descent = std::max(descent, face.descent * k);
            leading = std::max(leading, face.leading * k);
        };
        if (current.empty()) takeMetrics(*markFont.face, markFont.size);
        for (const Atom* a : current) {
            takeMetrics(*a->face, a->size);
            // A picture stands on the baseline like a glyph of its height.
            if (a->picture) ascent = std::max(ascent, a->picture->height);
        }

        std::vector<double> xs;
        double x = 0;
        for (size_t i = 0; i < end; ++i) {
            if (i > 0) x += current[i]->lead;
            xs.push_back(x);
            x += current[i]->width;
        }
        line.width = x;

        double shift = 0, stretch = 0;
        const double room = width - line.width;
        switch (format.alignment) {
            case host::Alignment::Center:
                shift = room / 2;
                break;
            case host::Alignment::Right:
                shift = room;
                break;
            case host::Alignment::Justify:
                if (!lastOfParagraph && end > 1 && room > 0)
                    stretch = room / static_cast<double>(end - 1);
                break;
            case host::Alignment::Left:
                break;
        }
        for (size_t i = 0; i < end; ++i) {
            const Atom& a = *current[i];
            const double ax = xs[i] + shift + stretch * static_cast<double>(i);
            TextPiece* prev = line.pieces.empty() ? nullptr : &line.pieces.back();
            if (prev && !prev->picture && !a.picture && prev->face == a.face &&
                prev->size == a.size && std::abs(prev->x + prev->width - ax) < kEpsilon) {
                prev->text += a.text;
                prev->width += a.width;
            } else {
                line.pieces.push_back({a.text, a.face, a.size, ax, a.width, a.picture});
            }
        }

        const double natural = ascent + descent + leading;
        switch (format.lineSpacingRule) {
            case host::LineSpacingRule::Exactly:
                line.height = std::max(0.0, format.lineSpacing);
                break;
            case host::LineSpacingRule::AtLeast:
                line.height = std::max(natural, format.lineSpacing);
                break;
            case host::LineSpacingRule::OnePtFive:
                line.height = natural * 1.5;
                break;
            case host::LineSpacingRule::Double:
                line.height = natural * 2;
                break;
            case host::LineSpacingRule::Multiple:
                line.height =
                    format.lineSpacing > 0 ? natural * format.lineSpacing / 12.0 : natural;
                break;
            case host::LineSpacingRule::Single:
                line.height = natural;
                break;
        }
        // As in the word processor: an exact line puts its baseline four fifths of the way
        // down, whatever the fonts (tall glyphs reach above it); in other lines the extra pitch
        // goes above the text and the baseline keeps the font's descent from the line's foot.
        line.clipped = format.lineSpacingRule == host::LineSpacingRule::Exactly;
        line.baseline = line.clipped ? line.height * kExactAscent : line.height - descent;
        lines.push_back(std::move(line));
        current.clear();
    }

    double CurrentWidth() const {
        double w = 0;
        for (const Atom* a : current) w += a->width + (a == current.front() ? 0 : a->lead);
        return w;
    }
    bool HasInk() const {
        return std::any_of(current.begin(), current.end(),
                           [](const Atom* a) { return a->kind == AtomKind::Word; });
    }
};

}  // namespace

double ParagraphLayout::Height() const {
    double h = spaceBefore + spaceAfter;
    for (const TextLine& l : lines) h += l.height;
    return h;
}

ParagraphLayout LayoutParagraph(const host::Document& doc, const host::Paragraph& p, double width) {
    const std::vector<Atom> atoms = MakeAtoms(doc, p, width);
    LineBuilder b{p.format, ResolveFont(doc, p, p.markFormat), width, {}, {}};

    for (size_t i = 0; i < atoms.size();) {
        const Atom& a = atoms[i];
        if (a.kind == AtomKind::Break) {
            b.Finish(false);
            ++i;
            continue;
        }
        if (a.kind == AtomKind::Space) {
            b.current.push_back(&a);
            ++i;
            continue;
        }
        // A word moves as one with the opening punctuation before it and the closing
        // punctuation after it.
        size_t j = i + 1;
        double unit = a.lead + a.width;
        while (j < atoms.size() && atoms[j].kind == AtomKind::Word &&
               (atoms[j].glued || atoms[j - 1].opening)) {
            unit += atoms[j].lead + atoms[j].width;
            ++j;
        }
        if (b.HasInk() && b.CurrentWidth() + unit > width + kEpsilon) b.Finish(false);
        for (; i < j; ++i) b.current.push_back(&atoms[i]);
    }
    b.Finish(true);

    ParagraphLayout layout;
    layout.lines = std::move(b.lines);
    layout.spaceBefore = std::max(0.0, p.format.spaceBefore);
    layout.spaceAfter = std::max(0.0, p.format.spaceAfter);
    layout.visible = std::any_of(atoms.begin(), atoms.end(),
                                 [](const Atom& a) { return a.kind == AtomKind::Word; });
    return layout;
}

double ExactPitchToHold(const host::Document& doc, const host::Paragraph& p) {
    double pitch = 0;
    const auto hold = [&](const host::CharFormat& direct) {
        const ResolvedFont f = ResolveFont(doc, p, direct);
        const double k = f.size / kReferencePixelSize;
        pitch = std::max(
            {pitch, f.face->ascent * k / kExactAscent, f.face->descent * k / (1 - kExactAscent)});
    };
    hold(p.markFormat);
    for (const host::Run& run : p.runs) hold(run.format);
    return std::ceil(pitch * 2 - kEpsilon) / 2;
}

namespace {

// Pictures are decoded once, not at every paint of their cell: the last few decoded are kept
// while their pictures live.
QImage Decoded(const std::shared_ptr<const host::InlinePicture>& picture) {
    struct Entry {
        std::weak_ptr<const host::InlinePicture> picture;
        QImage image;
    };
    static std::mutex mutex;
    static std::unordered_map<const host::InlinePicture*, Entry> cache;
    constexpr size_t kKept = 64;
    const std::lock_guard<std::mutex> lock(mutex);
    auto found = cache.find(picture.get());
    if (found != cache.end() && found->second.picture.lock() == picture) return found->second.image;
    if (cache.size() >= kKept) cache.clear();
    // Qt refuses images past its allocation limit: a hostile file draws nothing.
    QImage image = QImage::fromData(reinterpret_cast<const uchar*>(picture->data.data()),
                                    static_cast<int>(picture->data.size()));
    cache[picture.get()] = {picture, image};
    return image;
}

void DrawPicture(QPainter& painter, const TextLine& line, const TextPiece& piece, double x,
                 double top) {
    const host::InlinePicture& p = *piece.picture;
    if (p.width <= 0 || p.height <= 0) return;
    const QImage image = Decoded(piece.picture);
    if (image.isNull()) return;
    painter.save();
    if (line.clipped)
        painter.setClipRect(QRectF(x + piece.x, top, p.width, line.height), Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(x + piece.x, top + line.baseline - p.height, p.width, p.height),
                      image);
    painter.restore();
}

}  // namespace

void DrawLine(QPainter& painter, const TextLine& line, double x, double top) {
    for (const TextPiece& piece : line.pieces) {
        if (piece.picture) {
            DrawPicture(painter, line, piece, x, top);
            continue;
        }
        if (piece.text.trimmed().isEmpty()) continue;
        painter.save();
        painter.translate(x + piece.x, top + line.baseline);
        const double k = piece.size / kReferencePixelSize;
        painter.scale(k, k);
        painter.setFont(piece.face->font);
        painter.drawText(QPointF(0, 0), piece.text);
        painter.restore();
    }
}

void DrawParagraph(QPainter& painter, const ParagraphLayout& layout, double x, double y) {
    double top = y + layout.spaceBefore;
    for (const TextLine& line : layout.lines) {
        DrawLine(painter, line, x, top);
        top += line.height;
    }
}

}  // namespace varelo::render
