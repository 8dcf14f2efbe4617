#pragma once

// The settings' choosers of the preferred audio and subtitle language:
// "Automatic" (an empty setting), then common languages by their names in
// the interface language, in the interface's alphabetical order. A stored
// code that is not in the list is kept as an entry of its own, so saving
// the dialog never loses it.
//
// Threads: the UI thread only.

#include <string>

class QComboBox;

namespace lumora {

void FillTrackLanguageChooser(QComboBox& chooser, const std::u16string& current);
// The code of the chosen entry; empty for "Automatic".
std::u16string ChosenTrackLanguage(const QComboBox& chooser);

}  // namespace lumora
