// The comparison rules for hardware IDs, driver descriptions and INF names. An
// empty configured text never matches: it would otherwise match everything; nor
// does a hardware-ID entry too broad to name one device.
#include "drvsweep.h"

#include <string.h>

static bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

static bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "VEN_hhhh&DEV_hhh..." (or "VID_hhhh&PID_hhh..."): the vendor's four hex digits
// and at least MIN_DEVICE_DIGITS of the device field: one digit would cover a
// sixteenth of the vendor's devices.
static bool namesVendorAndDevice(const char *identity, const char *vendorTag, const char *deviceTag)
{
    const char *p;
    if (!BeginsWithNoCase(identity, vendorTag, &p))
        return false;
    for (int i = 0; i < 4; i++, p++)
        if (!isHexDigit(*p))
            return false;
    if (!BeginsWithNoCase(p, deviceTag, &p))
        return false;
    for (int i = 0; i < MIN_DEVICE_DIGITS; i++, p++)
        if (!isHexDigit(*p))
            return false;
    return true;
}

bool IsSpecificHardwareId(const char *prefix)
{
    const char *identity;
    if (BeginsWithNoCase(prefix, "PCI\\", &identity))
        return namesVendorAndDevice(identity, "VEN_", "&DEV_");
    if (BeginsWithNoCase(prefix, "USB\\", &identity))
        return namesVendorAndDevice(identity, "VID_", "&PID_");
    // Other buses: a bus name of letters, digits and "_", a backslash, and an
    // identity of at least MIN_IDENTITY characters; one that starts with a vendor
    // field must carry the device field as PCI and USB IDs do.
    const char *slash = FindChar(prefix, '\\');
    if (slash == NULL || slash - prefix < 2)
        return false;
    for (const char *p = prefix; p < slash; p++)
        if (!isAsciiAlnum(*p) && *p != '_')
            return false;
    identity = slash + 1;
    if (BeginsWithNoCase(identity, "VEN_", NULL))
        return namesVendorAndDevice(identity, "VEN_", "&DEV_");
    if (BeginsWithNoCase(identity, "VID_", NULL))
        return namesVendorAndDevice(identity, "VID_", "&PID_");
    int chars = 0;
    for (const char *p = identity; *p; p += CharSize(p))
        chars++;
    return chars >= MIN_IDENTITY && FindChar(identity, '\\') == NULL;
}

bool HardwareIdMatches(const char *hardwareId, const char *prefix)
{
    const char *rest;
    if (!IsSpecificHardwareId(prefix) || !BeginsWithNoCase(hardwareId, prefix, &rest))
        return false;
    if (BeginsWithNoCase(prefix, "PCI\\", NULL) || BeginsWithNoCase(prefix, "USB\\", NULL))
        return true;
    return *rest == '\0' || (*rest == '#' && prefix[0] != '\0' && FindChar(prefix, '#') == NULL);
}

bool EntryTakesPart(const DriverEntry &entry)
{
    return entry.hardwareIdPrefix[0] == '\0' || IsSpecificHardwareId(entry.hardwareIdPrefix);
}

bool DeviceOfEntry(const char *hardwareId, const DeviceEvidence &device, const DriverEntry &entry,
                   const UninstallConfig &cfg)
{
    if (!HardwareIdMatches(hardwareId, entry.hardwareIdPrefix))
        return false;
    if (DescriptionCovers(device.driverDesc, entry.driverDesc))
        return true;
    // The INI names the service, so the service alone would let the INI vouch for
    // itself: it counts only when the driver key describes no other driver, and
    // never for a service that cannot go (Windows' own, or one others depend on).
    bool otherDriver = device.driverDesc[0] != '\0' && entry.driverDesc[0] != '\0';
    if (otherDriver || device.serviceRefused)
        return false;
    for (int i = 0; i < cfg.serviceCount; i++)
        if (device.service[0] != '\0' && EqualsNoCase(device.service, cfg.services[i]))
            return true;
    return false;
}

// The class key's own name: "{guid}" or "MEDIA", the last part of its path.
static const char *lastPart(const char *path)
{
    const char *last = path;
    for (const char *p = FindChar(path, '\\'); p; p = FindChar(p + 1, '\\'))
        last = p + 1;
    return last;
}

// "{guid}\0000" against the class key's name and the subkey's.
static bool isDriverKey(const char *driverKey, const char *className, const char *subkey)
{
    const char *rest;
    return BeginsWithNoCase(driverKey, className, &rest) && *rest == '\\' && EqualsNoCase(rest + 1, subkey);
}

bool DriverKeyInClass(const char *driverKey, const char *classPath)
{
    const char *rest;
    return BeginsWithNoCase(driverKey, lastPart(classPath), &rest) && *rest == '\\' && rest[1] != '\0';
}

const ForeignDriver *ForeignDriverOf(const ForeignDrivers *foreign, const char *classPath, const char *subkey,
                                     const char *infPath)
{
    if (!foreign)
        return NULL;
    const char *className = lastPart(classPath);
    for (int i = 0; i < foreign->count; i++) {
        const ForeignDriver &f = foreign->items[i];
        if (subkey && isDriverKey(f.driverKey, className, subkey))
            return &f;
        if (infPath && infPath[0] != '\0' && EqualsNoCase(f.infPath, infPath))
            return &f;
    }
    return NULL;
}

bool DescriptionCovers(const char *description, const char *desc)
{
    const char *rest;
    if (desc[0] == '\0' || !BeginsWithNoCase(description, desc, &rest))
        return false;
    // The description goes on only after a word boundary: a space, a bracket or
    // other ASCII punctuation. A letter, a digit or any non-ASCII character (a
    // double-byte one included) continues the same word.
    return *rest == '\0' || ((BYTE)*rest < 0x80 && !isAsciiAlnum(*rest));
}

bool DescriptionEquals(const char *description, const char *desc)
{
    return desc[0] != '\0' && EqualsNoCase(description, desc);
}

bool IsOemInfName(const char *name)
{
    const char *p;
    if (!BeginsWithNoCase(name, "oem", &p) || !(*p >= '0' && *p <= '9'))
        return false;
    while (*p >= '0' && *p <= '9')
        p++;
    return EqualsNoCase(p, ".inf");
}
