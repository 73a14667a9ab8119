// Registry fixtures: values written, read, looked for and deleted in one call each.
#include "qxtest.h"

#include <shlwapi.h>

namespace qxt
{

// HKLM\Software is split in two views on 64-bit Windows; a 32-bit program reads the 32-bit one.
static REGSAM pick(REGSAM view)
{
    return view ? view : underWow64() ? KEY_WOW64_32KEY : 0;
}

static bool setValue(HKEY root, const char *path, const char *name, DWORD type, const void *data, DWORD size,
                     REGSAM view)
{
    HKEY k;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_SET_VALUE | pick(view), NULL, &k, NULL) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(k, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

bool regSetString(HKEY root, const char *path, const char *name, const std::string &value, REGSAM view)
{
    return setValue(root, path, name, REG_SZ, value.c_str(), (DWORD)value.size() + 1, view);
}

bool regSetDword(HKEY root, const char *path, const char *name, DWORD value, REGSAM view)
{
    return setValue(root, path, name, REG_DWORD, &value, sizeof value, view);
}

bool regGetString(HKEY root, const char *path, const char *name, std::string *value, REGSAM view)
{
    char buf[4096];
    DWORD size = sizeof buf - 1, type = 0;
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | pick(view), &k) != ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(k, name, NULL, &type, (BYTE *)buf, &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buf[size] = '\0';
    *value = buf;
    return true;
}

bool regGetDword(HKEY root, const char *path, const char *name, DWORD *value, REGSAM view)
{
    DWORD size = sizeof *value, type = 0;
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | pick(view), &k) != ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(k, name, NULL, &type, (BYTE *)value, &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS && type == REG_DWORD;
}

bool regKeyExists(HKEY root, const char *path, REGSAM view)
{
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_READ | pick(view), &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

bool regValueExists(HKEY root, const char *path, const char *name, REGSAM view)
{
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | pick(view), &k) != ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(k, name, NULL, NULL, NULL, NULL);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

bool regDeleteTree(HKEY root, const char *path, REGSAM view)
{
    std::string parent(path), leaf(path);
    size_t slash = parent.find_last_of('\\');
    HKEY k = root;
    if (slash != std::string::npos) {
        leaf = parent.substr(slash + 1);
        parent.resize(slash);
        LONG rc = RegOpenKeyExA(root, parent.c_str(), 0, KEY_ALL_ACCESS | pick(view), &k);
        if (rc != ERROR_SUCCESS)
            return rc == ERROR_FILE_NOT_FOUND;
    }
    DWORD rc = SHDeleteKeyA(k, leaf.c_str());
    if (k != root)
        RegCloseKey(k);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool regDeleteValue(HKEY root, const char *path, const char *name, REGSAM view)
{
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE | pick(view), &k) != ERROR_SUCCESS)
        return false;
    LONG rc = RegDeleteValueA(k, name);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

} // namespace qxt
