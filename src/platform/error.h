#pragma once

#include <cstdint>
#include <memory>
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

    // The same, where only the arguments whose bits are set in `translatedArgs` (bit 0
    // for %1) are marked texts, the rest values shown as given; and with `detail`, when
    // not null, an error that explains this one, as the argument after `args`; the
    // detail keeps its own form.
    Error(ErrorKind kind, const char* source, std::vector<std::string> args, std::uint32_t translatedArgs,
          const Error* detail)
        : Error(kind, source, withDetail(args, detail)) {
        translated_ = translatedArgs;
        if (detail) {
            args_.pop_back();
            detail_ = std::make_shared<const Error>(*detail);
        }
    }

    ErrorKind kind() const noexcept { return kind_; }
    // The marked English text, or null for an error made from a plain message.
    const char* source() const noexcept { return source_; }
    const std::vector<std::string>& arguments() const noexcept { return args_; }
    // Whether argument `i` (from 0) is a marked text, translated with the message.
    bool translatesArgument(std::size_t i) const noexcept { return i >= 32 || ((translated_ >> i) & 1U) != 0; }
    // The error that explains this one, or null.
    const Error* detail() const noexcept { return detail_.get(); }

private:
    static std::vector<std::string> withDetail(std::vector<std::string>& args, const Error* detail) {
        if (detail) args.push_back(detail->what());
        return std::move(args);
    }

    ErrorKind kind_;
    const char* source_ = nullptr;
    std::vector<std::string> args_;
    std::uint32_t translated_ = ~std::uint32_t{0};
    std::shared_ptr<const Error> detail_;
};

}  // namespace karuvo
