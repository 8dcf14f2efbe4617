#include "player/player_texts.h"

#include "catalogue/languages.h"
#include "catalogue/text_format.h"

namespace lumora {

std::u16string Localised(const PlayerText& text) {
    return LookupText(text.key);
}

std::u16string BufferingText(int percent) {
    return FormatText(Localised(kTextBuffering), {percent});
}

}  // namespace lumora
