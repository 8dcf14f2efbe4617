#include "catalogue/text_format.h"

namespace lumora {

void TextArgument::AppendTo(std::u16string& out) const {
    if (!isNumber_) {
        out.append(text_);
        return;
    }
    char16_t digits[24];
    char16_t* end = digits + sizeof digits / sizeof digits[0];
    char16_t* begin = end;
    // Work on the negative value so the smallest number has no overflow.
    std::int64_t value = number_ < 0 ? number_ : -number_;
    do {
        *--begin = static_cast<char16_t>(u'0' - value % 10);
        value /= 10;
    } while (value != 0);
    if (number_ < 0)
        *--begin = u'-';
    out.append(begin, end);
}

std::u16string FormatText(std::u16string_view format,
                          std::initializer_list<TextArgument> arguments) {
    std::u16string out;
    out.reserve(format.size() + 32);
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        char16_t c = format[i];
        if (c != u'%' || i + 1 == format.size()) {
            out.push_back(c);
            continue;
        }
        char16_t directive = format[++i];
        if (directive == u'%') {
            out.push_back(u'%');
        } else if (directive == u's' || directive == u'd') {
            if (next != arguments.end())
                (next++)->AppendTo(out);
        } else {
            out.push_back(u'%');
            out.push_back(directive);
        }
    }
    return out;
}

}  // namespace lumora
