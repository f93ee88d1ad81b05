#pragma once

#include <stdexcept>
#include <string>

namespace karuvo {

// What went wrong, so that a front end can pick an exit status or a wording.
enum class ErrorKind {
    Overflow,     // a count, size or position left the signed 32-bit range
    InvalidSize,  // a cell or sheet size that cannot make a picture
    TooLarge,     // a picture that would not fit in memory
    Image,        // a picture file that cannot be loaded
    Io,           // a file that cannot be read or written
    Text,         // text that cannot be read (bad encoding)
};

// The one error type of the program. The message is written for the user and
// names the values involved; front ends show it unchanged.
class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    ErrorKind kind() const noexcept { return kind_; }

private:
    ErrorKind kind_;
};

}  // namespace karuvo
