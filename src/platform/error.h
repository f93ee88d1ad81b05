#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace karuvo {

// What went wrong, so that a front end can pick an exit status or a wording.
enum class ErrorKind {
    Overflow,     // a count, size or position left the signed 32-bit range
    InvalidSize,  // a cell or sheet size that cannot make a picture
    TooLarge,     // a picture that would not fit in memory
    Image,        // a picture file that cannot be loaded
    Io,           // a file that cannot be read or written
    Text,         // text that cannot be read (bad encoding)
    Setting,      // a setting given a value it cannot take, or a project file that cannot be read
};

// The translation context of every message text that a front end may translate.
inline constexpr const char* kMessageContext = "karuvo";

// `text` with each "%1" to "%9" replaced by the argument of that number, in one pass
// (an argument's own "%n" stays as it is); a number without an argument stays too.
inline std::string fillArguments(std::string_view text, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < args.size()) {
                out += args[n];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The one error type of the program. The message is written for the user and
// names the values involved; front ends show it unchanged, or translated when the
// error has a translatable form.
class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    // A message with a translatable form: `source` is an English text marked with
    // QT_TRANSLATE_NOOP("karuvo", ...) that names its values as %1, %2, ...; what()
    // is `source` filled with `args`. An argument that is itself a marked text is
    // translated with the message. `source` must be a string literal.
    Error(ErrorKind kind, const char* source, std::vector<std::string> args)
        : std::runtime_error(fillArguments(source, args)), kind_(kind), source_(source), args_(std::move(args)) {}

    ErrorKind kind() const noexcept { return kind_; }
    // The marked English text, or null for an error made from a plain message.
    const char* source() const noexcept { return source_; }
    const std::vector<std::string>& arguments() const noexcept { return args_; }

private:
    ErrorKind kind_;
    const char* source_ = nullptr;
    std::vector<std::string> args_;
};

}  // namespace karuvo
