#include "base/local_time_zone.h"

#include <cstdlib>

namespace varelo::host {

void ReadLocalTimeZoneOnce() {
    // The leading colon names a zone file, which is what an unset TZ means to glibc.
    if (std::getenv("TZ") == nullptr) setenv("TZ", ":/etc/localtime", 0);
}

}  // namespace varelo::host
