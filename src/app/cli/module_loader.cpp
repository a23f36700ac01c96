#include "module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

namespace varelo::cli {

namespace {

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path(".") : self.parent_path();
}

void* OpenModule(const std::string& name) {
    const std::filesystem::path folder = ProgramFolder();
    const std::filesystem::path candidates[] = {folder / (name + ".so"),
                                                folder / ".." / "lib" / "varelo" / (name + ".so")};
    std::string reason;
    for (const std::filesystem::path& path : candidates) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) continue;
        // RTLD_LOCAL: the module's own copies of the core stay private to it.
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
        const char* error = dlerror();
        reason = error ? error : "unknown error";
        throw ModuleError("cannot load " + path.string() + ": " + reason);
    }
    throw ModuleError(name + ".so is not installed beside " + (folder / "varelo").string());
}

}  // namespace

void* ModuleSymbol(const std::string& name, const char* symbol) {
    static std::mutex mutex;
    static std::map<std::string, void*> loaded;
    const std::lock_guard lock(mutex);
    void*& handle = loaded[name];
    if (!handle) handle = OpenModule(name);
    dlerror();
    void* address = dlsym(handle, symbol);
    if (!address) throw ModuleError(name + ".so has no entry point " + symbol);
    return address;
}

}  // namespace varelo::cli
