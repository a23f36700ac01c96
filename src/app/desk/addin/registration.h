#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace varelo::host {

// An add-in's registration for the current user, as the host reads it at start-up.
struct AddInRecord {
    std::string progId;
    std::string friendlyName;
    std::string description;
    int loadBehavior = 0;  // 3: connected and loaded at start-up; 0: not loaded
    bool operator==(const AddInRecord&) const = default;
};

inline constexpr int kLoadAtStartup = 3;
inline constexpr int kLoadNever = 0;

// This add-in's record: "VekoTest.Connect", "Varelo", load behaviour 3.
AddInRecord VareloAddIn();

// The per-user record file: $XDG_CONFIG_HOME/varelo/addins.json, else ~/.config/varelo/addins.json.
std::string AddInsFile();

// A record file that cannot be read, parsed or written.
class RegistrationError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Every record in the file, in identifier order; a missing file holds none.
std::vector<AddInRecord> ReadAddIns(const std::string& path);
std::optional<AddInRecord> FindAddIn(const std::vector<AddInRecord>& records,
                                     const std::string& progId);

// Adds or replaces the record with the same identifier, keeping every other entry. The file is
// replaced atomically, so a failed write leaves the earlier file as it was.
void WriteAddIn(const std::string& path, const AddInRecord& record);

// The add-ins to connect at start-up (load behaviour 3). A file with no record of this add-in at
// all is a fresh install: the add-in registers itself first. A record with another load
// behaviour (left by unregistering) is respected. A file that cannot be read is left untouched,
// reported in *warning, and this add-in loads as on a fresh install.
std::vector<AddInRecord> StartupAddIns(const std::string& path, std::string* warning = nullptr);

}  // namespace varelo::host
