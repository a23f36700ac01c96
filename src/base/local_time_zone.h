#pragma once

namespace varelo::host {

// Opening a .docx, libzip converts every entry's time with mktime, and while TZ is unset glibc
// reads /etc/localtime again on each call: about 30 µs of every opened sheet. This names the
// same zone file in TZ when nothing is set, so glibc reads it once; local time stays what it
// was. It changes the environment: call it first thing in main, before any thread starts.
void ReadLocalTimeZoneOnce();

}  // namespace varelo::host
