#include "shell/widgets/dialog_fonts.h"

#include <QGuiApplication>

#include "resources/resources.h"

namespace lumora {

QFont DialogTextFont() {
    if (!BoldFont())
        return QGuiApplication::font();
    QFont font = *BoldFont();
    font.setBold(false);
    return font;
}

}  // namespace lumora
