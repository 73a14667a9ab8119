// Before-and-after snapshots of a registry tree or a folder, and the difference between two.
#include "qxtest.h"

#include <stdio.h>
#include <string.h>

namespace qxt
{

static std::string printable(DWORD type, const BYTE *data, DWORD size)
{
    char head[32];
    snprintf(head, sizeof head, "type %lu:", (unsigned long)type);
    std::string out = head;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        for (DWORD i = 0; i < size; i++)
            out += data[i] ? (char)data[i] : '|';
    } else {
        for (DWORD i = 0; i < size; i++) {
            char hex[4];
            snprintf(hex, sizeof hex, "%02x", data[i]);
            out += hex;
        }
    }
    return out;
}

static void walkRegistry(HKEY root, const std::string &path, Snapshot *out)
{
    HKEY k;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return;
    (*out)[path] = "KEY";
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; i++) {
        char name[16384];
        DWORD nameLen = sizeof name, type = 0, size = (DWORD)data.size();
        if (RegEnumValueA(k, i, name, &nameLen, NULL, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        (*out)[path + "\\:" + name] = printable(type, data.data(), size);
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; i++) {
        char name[256];
        DWORD nameLen = sizeof name;
        if (RegEnumKeyExA(k, i, name, &nameLen, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(k);
    for (const std::string &s : subkeys)
        walkRegistry(root, path.empty() ? s : path + "\\" + s, out);
}

Snapshot snapshotRegistry(HKEY root, const char *path)
{
    Snapshot s;
    walkRegistry(root, path, &s);
    return s;
}

static void walkDirectory(const std::string &base, const std::string &rel, Snapshot *out)
{
    WIN32_FIND_DATAA fd;
    std::string dir = rel.empty() ? base : base + "\\" + rel;
    HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> subdirs;
    do {
        if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
            continue;
        std::string r = rel.empty() ? fd.cFileName : rel + "\\" + fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*out)[r + "\\"] = "DIR";
            subdirs.push_back(r);
        } else {
            // Size and write time: enough to see a file replaced or rewritten.
            char desc[64];
            snprintf(desc, sizeof desc, "%lu bytes @%08lx%08lx", (unsigned long)fd.nFileSizeLow,
                     (unsigned long)fd.ftLastWriteTime.dwHighDateTime,
                     (unsigned long)fd.ftLastWriteTime.dwLowDateTime);
            (*out)[r] = desc;
        }
    } while (FindNextFileA(f, &fd));
    FindClose(f);
    for (const std::string &s : subdirs)
        walkDirectory(base, s, out);
}

Snapshot snapshotDirectory(const std::string &dir)
{
    Snapshot s;
    walkDirectory(dir, "", &s);
    return s;
}

SnapshotDiff diffSnapshots(const Snapshot &before, const Snapshot &after)
{
    SnapshotDiff d;
    for (const auto &b : before) {
        auto a = after.find(b.first);
        if (a == after.end())
            d.removed.push_back(b.first);
        else if (a->second != b.second)
            d.changed.push_back(b.first);
    }
    for (const auto &a : after)
        if (!before.count(a.first))
            d.added.push_back(a.first);
    return d;
}

std::string describe(const SnapshotDiff &d)
{
    std::string s;
    for (const std::string &x : d.added)
        s += "  added:   " + x + "\n";
    for (const std::string &x : d.removed)
        s += "  removed: " + x + "\n";
    for (const std::string &x : d.changed)
        s += "  changed: " + x + "\n";
    return s.empty() ? "  (no difference)\n" : s;
}

} // namespace qxt
