#pragma once

#include <string>
#include <string_view>

namespace varelo::host {

// Text as XML 1.0 can carry it: characters XML forbids and malformed UTF-8 dropped. For
// text handed to an XML writer that escapes markup but keeps everything else.
std::string XmlSafeText(std::string_view text);

}  // namespace varelo::host
