#include "platform/system/CLocaleNumber.h"

#include <cstdlib>

#include <locale.h>

namespace QuillPlatform {

double ParseDoubleC(const char* text, char** end)
{
    // Made once and never freed: it is immutable and shared by every thread.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    // Without it (out of memory at the first call) the process locale is the best there is; the
    // engine never changes it from "C".
    return cLocale ? strtod_l(text, end, cLocale) : std::strtod(text, end);
}

} // namespace QuillPlatform
