#pragma once

#include <stdexcept>
#include <string>

namespace varelo::cli {

// A module that cannot be loaded or lacks its entry point; what() says which and why.
class ModuleError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Commands that need large libraries (Qt for pictures, OpenCV and poppler for scans) keep
// them in a module loaded on first use, so that every other command starts without them.
// A module named NAME is the file NAME.so beside the varelo program, or in ../lib/varelo
// from its folder once installed. Returns the address of symbol in it; the module stays
// loaded until the process ends. Throws ModuleError.
void* ModuleSymbol(const std::string& name, const char* symbol);

// Typed form: the entry point as the function pointer type Fn.
template <typename Fn>
Fn ModuleEntry(const std::string& name, const char* symbol) {
    return reinterpret_cast<Fn>(ModuleSymbol(name, symbol));
}

}  // namespace varelo::cli
