// The comparison rules for hardware IDs and driver descriptions. An empty
// configured text never matches: it would otherwise match everything.
#include "drvsweep.h"

#include <string.h>

bool HardwareIdMatches(const char *hardwareId, const char *prefix)
{
    size_t n = strlen(prefix);
    return n > 0 && _strnicmp(hardwareId, prefix, n) == 0;
}

bool DescriptionBeginsWith(const char *description, const char *desc)
{
    size_t n = strlen(desc);
    return n > 0 && _strnicmp(description, desc, n) == 0;
}

bool DescriptionEquals(const char *description, const char *desc)
{
    return desc[0] != '\0' && _stricmp(description, desc) == 0;
}
