// Feeds arbitrary bytes to the language pack loader as "Languages.lngp".
// Whatever the file holds, the loader ends with a consistent set of
// languages: every index in range has a name and a code that finds a
// language, the current one is in range or none, and lookups of any key
// answer without failing.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "fuzz_input_file.h"

using namespace lumora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::FuzzInputFile file("Languages.lngp");
    file.Write(data, size);

    LoadLanguages(file.Path());
    const int count = LanguageCount();
    if (count < 0)
        std::abort();
    const int current = CurrentLanguage();
    if (current < -1 || current >= count)
        std::abort();
    for (int i = 0; i < count && i < 64; ++i) {
        const int found = FindLanguage(LanguageCode(i));
        if (found < 0 || found > i)
            std::abort();
        SelectLanguage(i);
        if (CurrentLanguage() != i)
            std::abort();
        for (const char* key : {"app_kavri", "menu_exit", "str_kb", "", "c_de"})
            LookupText(key);
        LocalisedText(u"menu_exit");
        AppTitle();
    }
    SelectLanguage(count);  // outside the list: nothing changes
    if (LanguageName(count) != u"" || LanguageCode(-1) != u"")
        std::abort();
    ReleaseLanguages();
    if (LanguageCount() != 0 || CurrentLanguage() != -1)
        std::abort();
    ResetSettings();
    return 0;
}
