// Names that reach delete calls: the plain-name check, enumerator key names cut
// from hardware IDs, and the file paths formed in the Windows directory. Every
// search walks whole characters, so a trail byte is never taken for a separator.
#include "drvsweep.h"

#include <string.h>

bool IsPlainName(const char *name)
{
    if (name[0] == '\0')
        return false;
    if (FindChar(name, '\\') || FindChar(name, '/') || FindChar(name, ':'))
        return false;
    for (const char *dot = FindChar(name, '.'); dot; dot = FindChar(dot + 1, '.'))
        if (dot[1] == '.')
            return false;
    return true;
}

static char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - ('a' - 'A')) : c;
}

void CutKeyName(const char *id, const char *startSet, char stop, char *out, size_t size)
{
    out[0] = '\0';
    const char *start = id;
    for (; *start; start += CharSize(start))
        if (CharSize(start) == 1 && strchr(startSet, upperAscii(*start)) != NULL)
            break;
    const char *end = FindChar(start, stop);
    size_t n = end ? (size_t)(end - start) : strlen(start);
    if (n >= size)
        n = CharBoundaryAtOrBefore(start, size - 1);
    memcpy(out, start, n);
    out[n] = '\0';
}

bool AddKeyName(char (*list)[ENTRY_TEXT], int *count, const char *name)
{
    if (*count >= KEY_LIST_CAPACITY || !IsPlainName(name))
        return false;
    CopyText(list[*count], ENTRY_TEXT, name);
    ++*count;
    return true;
}

bool FormDirectory(const char *windowsDir, const char *suffix, char dir[DIR_TEXT])
{
    if (CopyText(dir, DIR_TEXT, windowsDir) && AppendText(dir, DIR_TEXT, suffix))
        return true;
    dir[0] = '\0';
    return false;
}

bool FormFilePath(const char *dir, const char *name, char path[PATH_TEXT])
{
    if (!IsPlainName(name))
        return false;
    return CopyText(path, PATH_TEXT, dir) && AppendText(path, PATH_TEXT, name);
}

bool PnfPathFromInfPath(const char *infDir, const char *infPath, char path[PATH_TEXT])
{
    char stem[256];
    CopyText(stem, sizeof stem, infPath);
    char *dot = (char *)FindChar(stem, '.');
    if (dot)
        *dot = '\0';
    return FormFilePath(infDir, stem, path) && AppendText(path, PATH_TEXT, ".pnf");
}

void ReplaceInfWithPnf(char *path)
{
    LowerText(path);
    for (char *p = (char *)FindChar(path, '.'); p; p = (char *)FindChar(p + 1, '.'))
        if (strncmp(p, ".inf", 4) == 0)
            p[1] = 'p';
}

// Lines of WININIT.INI end in CR LF; the section name is matched without regard
// to case, as Windows reads it.
bool AddWininitDeletion(const char *wininit, const char *path, char *out, size_t size)
{
    out[0] = '\0';
    // Where the [rename] section starts: at the beginning of a line.
    const char *section = NULL;
    for (const char *line = wininit; *line;) {
        const char *p = line;
        while (*p == ' ' || *p == '\t')
            p++;
        if (BeginsWithNoCase(p, "[rename]", NULL)) {
            section = line;
            break;
        }
        const char *end = FindChar(line, '\n');
        if (!end)
            break;
        line = end + 1;
    }
    char entry[PATH_TEXT + 8];
    if (!CopyText(entry, sizeof entry, "NUL=") || !AppendText(entry, sizeof entry, path) ||
        !AppendText(entry, sizeof entry, "\r\n"))
        return false;
    if (!section) {
        // No section yet: it is added at the end, on a line of its own.
        size_t len = strlen(wininit);
        bool ok = CopyText(out, size, wininit);
        if (ok && len > 0 && wininit[len - 1] != '\n')
            ok = AppendText(out, size, "\r\n");
        ok = ok && AppendText(out, size, "[rename]\r\n") && AppendText(out, size, entry);
        if (!ok)
            out[0] = '\0';
        return ok;
    }
    // The new line goes right after the section's header line.
    const char *header = FindChar(section, '\n');
    size_t head = header ? (size_t)(header + 1 - wininit) : strlen(wininit);
    if (head >= size) {
        return false;
    }
    memcpy(out, wininit, head);
    out[head] = '\0';
    bool ok = (header || AppendText(out, size, "\r\n")) && AppendText(out, size, entry) &&
              AppendText(out, size, wininit + head);
    if (!ok)
        out[0] = '\0';
    return ok;
}
