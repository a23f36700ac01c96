#include "base/xml_text.h"

namespace varelo::host {

std::string XmlSafeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    FilterXmlText(text, [&](std::string_view piece, char32_t) { out.append(piece); });
    return out;
}

}  // namespace varelo::host
