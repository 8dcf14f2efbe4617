#include "catalogue/shown_name.h"

#include <algorithm>

namespace lumora {

namespace {

enum class Treatment { Keep, Space, Drop };

Treatment TreatmentOf(char16_t c) {
    switch (c) {
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case u'\u0085':  // next line
    case u'\u2028':  // line separator
    case u'\u2029':  // paragraph separator
        return Treatment::Space;
    default: break;
    }
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const bool bidiControl = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    return control || bidiControl ? Treatment::Drop : Treatment::Keep;
}

}  // namespace

void RemoveHiddenControls(std::u16string& name) {
    auto first = std::find_if(name.begin(), name.end(),
                              [](char16_t c) { return TreatmentOf(c) != Treatment::Keep; });
    if (first == name.end())
        return;
    auto out = first;
    for (auto in = first; in != name.end(); ++in) {
        switch (TreatmentOf(*in)) {
        case Treatment::Keep: *out++ = *in; break;
        case Treatment::Space: *out++ = u' '; break;
        case Treatment::Drop: break;
        }
    }
    name.erase(out, name.end());
}

}  // namespace lumora
