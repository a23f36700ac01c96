#include "app/desk/addin/registration.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "base/atomic_file.h"

namespace varelo::host {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr const char* kFriendlyName = "FriendlyName";
constexpr const char* kDescription = "Description";
constexpr const char* kLoadBehavior = "LoadBehavior";

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return ".";
}

// The whole file as JSON; a missing file is an empty object.
json Load(const std::string& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return json::object();
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RegistrationError("cannot read " + path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    json doc = json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
    if (doc.is_discarded() || !doc.is_object())
        throw RegistrationError(path + " is not a valid add-in record file");
    return doc;
}

std::string Text(const json& entry, const char* key) {
    auto it = entry.find(key);
    return it != entry.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

AddInRecord VareloAddIn() {
    return {"VekoTest.Connect", "Varelo", "Varelo－－试卷制作插件", kLoadAtStartup};
}

std::string AddInsFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored, as the base-directory rules say.
    const fs::path base = xdg && *xdg == '/' ? fs::path(xdg) : fs::path(HomeFolder()) / ".config";
    return (base / "varelo" / "addins.json").string();
}

std::vector<AddInRecord> ReadAddIns(const std::string& path) {
    std::vector<AddInRecord> records;
    const json doc = Load(path);
    for (const auto& [progId, entry] : doc.items()) {
        if (!entry.is_object()) continue;
        AddInRecord r{progId, Text(entry, kFriendlyName), Text(entry, kDescription), kLoadNever};
        if (auto it = entry.find(kLoadBehavior); it != entry.end() && it->is_number_integer())
            r.loadBehavior = it->get<int>();
        records.push_back(std::move(r));
    }
    return records;
}

std::optional<AddInRecord> FindAddIn(const std::vector<AddInRecord>& records,
                                     const std::string& progId) {
    for (const auto& r : records)
        if (r.progId == progId) return r;
    return std::nullopt;
}

void WriteAddIn(const std::string& path, const AddInRecord& record) {
    json doc = Load(path);
    json& entry = doc[record.progId];
    if (!entry.is_object()) entry = json::object();  // keep fields other tools may have added
    entry[kFriendlyName] = record.friendlyName;
    entry[kDescription] = record.description;
    entry[kLoadBehavior] = record.loadBehavior;

    const fs::path target(path);
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    if (ec)
        throw RegistrationError("cannot create " + target.parent_path().string() + ": " +
                                ec.message());
    try {
        SaveFileAtomically(path, doc.dump(2) + "\n");
    } catch (const SaveError& e) {
        throw RegistrationError(e.what());
    }
}

std::vector<AddInRecord> StartupAddIns(const std::string& path, std::string* warning) {
    const AddInRecord self = VareloAddIn();
    std::vector<AddInRecord> records;
    try {
        records = ReadAddIns(path);
        if (!FindAddIn(records, self.progId)) {
            WriteAddIn(path, self);
            records = ReadAddIns(path);
        }
    } catch (const std::exception& e) {
        if (warning) *warning = e.what();
        return {self};
    }
    std::vector<AddInRecord> load;
    for (auto& r : records)
        if (r.loadBehavior == kLoadAtStartup) load.push_back(std::move(r));
    return load;
}

}  // namespace varelo::host
