#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace lumora {

// One argument of FormatText: a wide text for "%s" or a number for "%d".
class TextArgument {
public:
    TextArgument(std::u16string_view text) : text_(text), isNumber_(false) {}
    TextArgument(const std::u16string& text) : text_(text), isNumber_(false) {}
    TextArgument(const char16_t* text) : text_(text), isNumber_(false) {}
    TextArgument(std::int64_t number) : number_(number), isNumber_(true) {}
    TextArgument(int number) : number_(number), isNumber_(true) {}
    TextArgument(std::size_t number)
        : number_(static_cast<std::int64_t>(number)), isNumber_(true) {}

    // Appends the argument as "%s" or "%d" would show it.
    void AppendTo(std::u16string& out) const;

private:
    std::u16string_view text_;
    std::int64_t number_ = 0;
    bool isNumber_;
};

// The program's own printf-style formatting for wide texts: "%s" and "%d"
// take the next argument (either kind shows as itself), "%%" is a percent
// sign, anything else is copied. The format is always one of the program's
// fixed texts; user data travel as arguments, so a "%" inside a catalogue
// name or a translated text is never read as a directive. A directive
// without an argument left shows nothing.
std::u16string FormatText(std::u16string_view format,
                          std::initializer_list<TextArgument> arguments);

}  // namespace lumora
