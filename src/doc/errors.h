#pragma once

#include <stdexcept>
#include <string>

namespace varelo::host {

// A failing host call. Carries the host's error number and description, as the
// word processor's automation errors do.
class HostError : public std::runtime_error {
  public:
    HostError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int Number() const { return number_; }

  private:
    int number_;
};

// Error numbers the surface raises.
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrNoSuchMember =
    5941;  // "The requested member of the collection does not exist."
inline constexpr int kErrCannotMerge = 5992;   // merging would cut a merged cell
inline constexpr int kErrInvalidArgument = 5;  // "Invalid procedure call or argument"

}  // namespace varelo::host
