#pragma once

// The order in which the choosers list their entries: the collation of the
// interface language, as its readers expect it ("Ägypten" between
// "Afghanistan" and "Albanien" in German, "Łotwa" after "Litwa" in Polish),
// without regard to case.
//
// Threads: the UI thread only.

#include <QString>

#include "catalogue/channel_views.h"

namespace lumora {

// The collation of the language with this code ("de", "pl", "el" ...).
TextOrdering CollationOf(const QString& languageCode);
// The collation of the current language of the pack; an empty ordering
// (code-unit order) when no language is current.
TextOrdering InterfaceCollation();

}  // namespace lumora
