#pragma once

// The font of the dialogs' own texts (labels, check boxes, notices): the
// interface font at the display's resolution, in normal weight, so that a
// dialog and its dialog units grow with the resolution as the bars do.
//
// Threads: the UI thread only.

#include <QFont>

namespace lumora {

// The bold interface font made normal; the application font while the
// interface resources are not loaded.
QFont DialogTextFont();

}  // namespace lumora
