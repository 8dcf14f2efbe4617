#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumora {

// The language pack: every text the user sees is looked up by a narrow key
// in the current language. Loaded from "Languages.lngp" once at start-up,
// after the settings (the setting "Language" picks the current language).
//
// Threads: LoadLanguages, SelectLanguage and ReleaseLanguages run on the UI
// thread before other threads start / after they ended. The lookups only
// read the tables and may be called from any thread in between.

// Loads the pack at the full path, replacing a pack loaded before. A
// missing or damaged file, or a root other than "lang_doc_1.0", leaves no
// language (and the answer is false; the file is never touched). The first
// language whose code equals the setting "Language" (default "en", stored
// by the read) becomes current.
bool LoadLanguages(const std::u16string& path);
void ReleaseLanguages();

// The text "text" of the key in the current language. When there is no
// current language, no entry, no such text or an empty one: for a key the
// program added to the pack's first keys its English text (text_fallbacks.h),
// for any other key a shared empty text. The reference stays valid until the
// pack is released.
const std::u16string& LookupText(std::string_view key);
// Whether a key that starts with `prefix` may have a text: the current
// language or the English texts hold such a key. False: LookupText gives
// nothing for any of them.
bool HasTextStartingWith(std::string_view prefix);
// LookupText, with `english` where that gives nothing.
std::u16string LookupTextOr(std::string_view key, std::u16string_view english);
// The application title, the text of "app_kavri".
std::u16string AppTitle();

int LanguageCount();
// Display name and code of a language; empty for an index outside the list.
std::u16string LanguageName(int index);
std::u16string LanguageCode(int index);
// Index of the first language with exactly that code, or -1.
int FindLanguage(const std::u16string& code);
// Index of the current language, or -1 when none is current.
int CurrentLanguage();
// Makes the language current at once; the setting is not changed. An index
// outside the list changes nothing.
void SelectLanguage(int index);

// The text a window showing `current` gets when it is localised: the
// translation when `current`, used as a key, has a non-empty one; otherwise
// no value, and the window keeps its text (an untranslated key stays
// visible as it is).
std::optional<std::u16string> LocalisedText(const std::u16string& current);

}  // namespace lumora
