#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace varelo::host {

// A save that failed; what() is the reason, naming the file, fit to show the user.
class SaveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Writes bytes to path so that the file is either the earlier one or the whole new one, never a
// mix, even when the process is killed: a temporary file is created exclusively in the same
// folder (never through a symlink), written, flushed to disk and renamed over path, and the
// folder is flushed too. A replaced file keeps its permissions. A failed save, SIGINT, SIGTERM
// or SIGHUP leave no temporary file behind. The first save into a folder also removes this
// routine's temporary files left there by killed processes. Throws SaveError.
void SaveFileAtomically(const std::string& path, std::string_view bytes);

// The temporary files of saves in progress are named ".varelo-PID-N.tmp"; those older than this
// whose process is gone are left-overs of a killed process.
inline constexpr int kStaleTemporarySeconds = 300;

}  // namespace varelo::host
