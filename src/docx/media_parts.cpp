// The pictures of a document as package parts: one media part per distinct image.

#include <algorithm>
#include <cmath>
#include <string>

#include "base/atomic_file.h"
#include "doc/table.h"
#include "docx/parts.h"
#include "docx/xml.h"

namespace varelo::host::docx {

namespace {

const char* Extension(const std::string& contentType) {
    if (contentType == "image/png") return "png";
    if (contentType == "image/jpeg") return "jpeg";
    return nullptr;
}

}  // namespace

long PictureEmu(double points) {
    const double emu = std::round(points * kEmuPerPoint);
    // NaN fails both comparisons and lands on the smallest size.
    if (!(emu >= 1)) return 1;
    return emu > kMaxPictureEmu ? kMaxPictureEmu : static_cast<long>(emu);
}

MediaParts::MediaParts(const Document& doc) {
    AddIn(doc.body, doc);
}

void MediaParts::AddIn(const Content& content, const Document& doc) {
    for (const Block& b : content) {
        if (b.IsTable()) {
            const Table& t = *b.table;
            for (int r = 1; r <= t.Rows(); ++r)
                for (int c = 1; c <= t.Columns(); ++c)
                    if (t.IsAnchor(r, c)) AddIn(t.At(r, c).content, doc);
            continue;
        }
        for (const Run& run : b.paragraph.runs)
            if (run.picture) Add(*run.picture, doc);
    }
}

void MediaParts::Add(const InlinePicture& picture, const Document& doc) {
    if (byPicture_.count(&picture)) return;
    for (size_t i = 0; i < parts_.size(); ++i) {
        const InlinePicture& other = *parts_[i].picture;
        if (other.contentType == picture.contentType && other.data == picture.data) {
            byPicture_.emplace(&picture, i);
            return;
        }
    }
    const char* extension = Extension(picture.contentType);
    if (!extension)
        throw SaveError("Cannot save a picture of type \"" + picture.contentType +
                        "\": only PNG and JPEG pictures are saved.");
    // Numbered on from the last, past any name a carried part of an opened file holds.
    size_t n = parts_.size();
    std::string name;
    for (;;) {
        name = "word/media/image" + std::to_string(++n) + "." + extension;
        const bool taken = std::any_of(
            doc.carriedParts.begin(), doc.carriedParts.end(),
            [&](const CarriedPart& carried) { return CaseInsensitiveEqual(carried.name, name); });
        if (!taken) break;
    }
    byPicture_.emplace(&picture, parts_.size());
    parts_.push_back({std::move(name), "rIdImage" + std::to_string(parts_.size() + 1), &picture});
}

const MediaParts::Part& MediaParts::Of(const InlinePicture& picture) const {
    return parts_[byPicture_.at(&picture)];
}

std::string MediaParts::ContentTypeDefaults() const {
    std::string xml;
    for (const char* type : {"image/png", "image/jpeg"}) {
        const bool used = std::any_of(parts_.begin(), parts_.end(), [&](const Part& p) {
            return p.picture->contentType == type;
        });
        if (!used) continue;
        xml += "<Default Extension=\"";
        xml += Extension(type);
        xml += "\" ContentType=\"";
        xml += type;
        xml += "\"/>";
    }
    return xml;
}

std::string MediaParts::Relationships() const {
    std::string xml;
    for (const Part& p : parts_) {
        xml += "<Relationship Id=\"" + p.relId + "\" Type=\"" + kRelImage + "\" Target=\"";
        // Relative to word/, where the main document lies.
        xml += p.name.substr(5);
        xml += "\"/>";
    }
    return xml;
}

}  // namespace varelo::host::docx
