// Reading one registry value as text into a fixed-size buffer.
#pragma once
#include <windows.h>

// What the read takes as text. The programs read values of different kinds and
// keep their own rules; with none of these a value of any type is taken, and one
// that ends in its own terminator may fill the whole buffer.
enum RegistryTextRule {
    REG_TEXT_ANY_TYPE = 0,
    REG_TEXT_STRING_TYPES = 1, // only REG_SZ and REG_EXPAND_SZ are text
    REG_TEXT_SPARE_BYTE = 2,   // the stored bytes may take size - 1 at most, terminator or not
};

// Value `name` of the open `key` into `out` (`size` bytes, at least 1), always
// terminated; a stored value without its terminator gets one. A value that is
// missing, does not fit whole or breaks `rules` reads as empty, and the result is
// false: never part of a value.
bool ReadRegistryText(HKEY key, const char *name, char *out, DWORD size, unsigned rules);
