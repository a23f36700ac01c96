#pragma once

#include <stdexcept>

namespace varelo::read {

// A template, key or scan that cannot be used; what() says why, fit to show the user.
class ReadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace varelo::read
