// Count and country-code texts from the configuration.
#include "drvsweep.h"

int ParseHexCount(const char *text)
{
    int value = 0;
    for (; *text; text++) {
        char c = *text;
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            break;
        // A long text saturates rather than overflowing; counts are bounded anyway.
        if (value > 0x7FFFFFF)
            return 0x7FFFFFFF;
        value = value * 16 + digit;
    }
    return value;
}

int BoundCount(int count)
{
    if (count < 0)
        return 0;
    return count > LIST_CAPACITY ? LIST_CAPACITY : count;
}

int CountryCodeFromText(const char *text)
{
    int code = 0;
    for (int i = 0; i < 5 && text[i] >= '0' && text[i] <= '9'; i++)
        code = code * 10 + (text[i] - '0');
    return code;
}
