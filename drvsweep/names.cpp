// Names that reach delete calls: the plain-name check, enumerator key names cut
// from hardware IDs, and the file paths formed in the Windows directory.
#include "drvsweep.h"

#include <ctype.h>
#include <string.h>

bool IsPlainName(const char *name)
{
    if (name[0] == '\0')
        return false;
    if (strpbrk(name, "\\/:") != NULL)
        return false;
    return strstr(name, "..") == NULL;
}

void CutKeyName(const char *id, const char *startSet, char stop, char *out, size_t size)
{
    out[0] = '\0';
    const char *start = id;
    for (; *start; start++)
        if (strchr(startSet, toupper((unsigned char)*start)) != NULL)
            break;
    size_t n = 0;
    while (start[n] && start[n] != stop)
        n++;
    if (n >= size)
        n = size - 1;
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
    char *dot = strchr(stem, '.');
    if (dot)
        *dot = '\0';
    return FormFilePath(infDir, stem, path) && AppendText(path, PATH_TEXT, ".pnf");
}

void ReplaceInfWithPnf(char *path)
{
    LowerText(path);
    for (char *p = strstr(path, ".inf"); p; p = strstr(p + 4, ".inf"))
        p[1] = 'p';
}
