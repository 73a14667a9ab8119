// The services the INI names: which of them go and which stay, the files that
// services which stay have as their images, and the removal itself: out of every
// class key's filter lists first, then through the service control manager.
#include "drvsweep.h"

#include "common/read_registry_text.h"

#include <stdio.h>
#include <string.h>

static const char ServicesPath[] = "SYSTEM\\CurrentControlSet\\Services";
static const char ClassRoot[] = "SYSTEM\\CurrentControlSet\\Control\\Class";

enum Verdict {
    SERVICE_ABSENT,   // no such key, or a name no key may have: nothing to do
    SERVICE_GOES,     // so far nothing keeps it
    SERVICE_WINDOWS,  // its image is one of Windows' own files
    SERVICE_DEPENDED, // a service that stays depends on it
    SERVICE_USED,     // a device that stays has it as its service or a filter
};

// A service whose image is a file the INI names, by the INI's name for it.
struct ImageOwner {
    char file[ENTRY_TEXT];
    char service[ENTRY_TEXT];
    int named; // its index among the INI's services, or -1
};
enum { IMAGE_OWNER_CAPACITY = 4 * LIST_CAPACITY };

static struct ServicePlan {
    bool planned, finished;
    int count;
    char names[LIST_CAPACITY][NAME_TEXT]; // the INI's services
    Verdict verdict[LIST_CAPACITY];
    char keeper[LIST_CAPACITY][ENTRY_TEXT];       // the device or service that keeps it
    bool dependsOn[LIST_CAPACITY][LIST_CAPACITY]; // named i depends on named j
    int ownerCount;
    ImageOwner owners[IMAGE_OWNER_CAPACITY];
} Plan;

// The file a command line starts: inside its quotes, or up to its first argument
// ("svchost.exe -k netsvcs") and the first space after its last backslash.
static void commandPath(const char *commandLine, char *path, size_t size)
{
    const char *p = commandLine;
    while (*p == ' ')
        p++;
    bool quoted = *p == '"';
    CopyText(path, size, quoted ? p + 1 : p);
    char *end = (char *)FindChar(path, quoted ? '"' : '\0');
    if (end)
        *end = '\0';
    if (quoted)
        return;
    for (char *q = (char *)FindChar(path, ' '); q; q = (char *)FindChar(q + 1, ' '))
        if (q[1] == '-' || q[1] == '/') {
            *q = '\0';
            break;
        }
    char *name = path;
    for (char *q = (char *)FindChar(path, '\\'); q; q = (char *)FindChar(q + 1, '\\'))
        name = q + 1;
    char *space = (char *)FindChar(name, ' ');
    if (space)
        *space = '\0';
}

void ImageFileName(const char *imagePath, char *out, size_t size)
{
    char path[NAME_TEXT];
    commandPath(imagePath, path, sizeof path);
    const char *name = path;
    for (const char *q = FindChar(path, '\\'); q; q = FindChar(q + 1, '\\'))
        name = q + 1;
    CopyText(out, size, name);
}

// The image as a path of this system: "\SystemRoot\", "%SystemRoot%\" and a path
// without a drive all lie below the Windows directory; a kernel driver without
// "ImagePath" is "system32\drivers\<service>.sys", as the I/O manager takes it.
static bool imageFullPath(const char *service, const char *imagePath, DWORD type, char *out, size_t size)
{
    char windows[DIR_TEXT];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows)
        return false;
    if (imagePath[0] == '\0') {
        if (!(type & (SERVICE_KERNEL_DRIVER | SERVICE_FILE_SYSTEM_DRIVER)))
            return false;
        return CopyText(out, size, windows) && AppendText(out, size, "\\system32\\drivers\\") &&
               AppendText(out, size, service) && AppendText(out, size, ".sys");
    }
    char path[NAME_TEXT];
    commandPath(imagePath, path, sizeof path);
    const char *rest;
    if (!BeginsWithNoCase(path, "\\SystemRoot\\", &rest) &&
        !BeginsWithNoCase(path, "%SystemRoot%\\", &rest) && !BeginsWithNoCase(path, "\\??\\", &rest))
        rest = path;
    if (rest[0] != '\0' && rest[1] == ':')
        return CopyText(out, size, rest);
    return CopyText(out, size, windows) && AppendText(out, size, "\\") && AppendText(out, size, rest);
}

static int namedIndex(const char *name)
{
    for (int i = 0; i < Plan.count; i++)
        if (Plan.verdict[i] != SERVICE_ABSENT && EqualsNoCase(Plan.names[i], name))
            return i;
    return -1;
}

static bool exists(HKEY parent, const char *name)
{
    HKEY key;
    LONG err = RegOpenKeyExA(parent, name, 0, KEY_READ, &key);
    if (err == ERROR_SUCCESS)
        RegCloseKey(key);
    return err == ERROR_SUCCESS || err == ERROR_ACCESS_DENIED;
}

// A REG_MULTI_SZ value, always ending in two terminators; empty when unreadable.
static DWORD readNameList(HKEY key, const char *value, char *out, DWORD size)
{
    DWORD type = 0, got = size - 2;
    memset(out, 0, size);
    if (RegQueryValueExA(key, value, NULL, &type, (BYTE *)out, &got) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ) {
        memset(out, 0, size);
        return 0;
    }
    return got;
}

// The INI's name for a service's image (at `path`, named `file`): the image's own
// name, or its 8.3 alias when that is what the INI names; NULL when it names
// neither. A service image of that name decides whether the file may go.
static const char *namedFile(const UninstallConfig &cfg, const char *path, const char *file)
{
    const char *names[4 * LIST_CAPACITY];
    int count = 0;
    bool aliases = false;
    const DriverEntry *lists[3] = {cfg.devices, cfg.extDevices, cfg.possibleDevices};
    int counts[3] = {cfg.deviceCount, cfg.extDeviceCount, cfg.possibleDeviceCount};
    for (int l = 0; l < 3; l++)
        for (int i = 0; i < counts[l]; i++)
            names[count++] = lists[l][i].sysFile;
    for (int i = 0; i < cfg.extCopyFileCount; i++)
        names[count++] = cfg.extCopyFiles[i];
    for (int i = 0; i < count; i++) {
        if (names[i][0] != '\0' && EqualsNoCase(names[i], file))
            return names[i];
        aliases |= FindChar(names[i], '~') != NULL;
    }
    char alias[PATH_TEXT], aliasFile[ENTRY_TEXT];
    DWORD n = aliases ? GetShortPathNameA(path, alias, sizeof alias) : 0;
    if (n == 0 || n >= sizeof alias)
        return NULL;
    ImageFileName(alias, aliasFile, sizeof aliasFile);
    for (int i = 0; i < count; i++)
        if (names[i][0] != '\0' && EqualsNoCase(names[i], aliasFile))
            return names[i];
    return NULL;
}

// One service of the system: its image, whether it is Windows' own, and what it
// depends on.
static void examineService(const UninstallConfig &cfg, HKEY services, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(services, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    char image[NAME_TEXT];
    ReadRegistryText(key, "ImagePath", image, sizeof image, REG_TEXT_STRING_TYPES | REG_TEXT_SPARE_BYTE);
    DWORD type = 0, size = sizeof type, valueType = 0;
    if (RegQueryValueExA(key, "Type", NULL, &valueType, (BYTE *)&type, &size) != ERROR_SUCCESS ||
        valueType != REG_DWORD)
        type = 0;
    char depends[1024];
    readNameList(key, "DependOnService", depends, sizeof depends);
    RegCloseKey(key);

    int self = namedIndex(name);
    char path[PATH_TEXT], file[ENTRY_TEXT];
    bool hasPath = imageFullPath(name, image, type, path, sizeof path);
    if (hasPath) {
        ImageFileName(path, file, sizeof file);
        if (self >= 0 && WindowsFileReason(path))
            Plan.verdict[self] = SERVICE_WINDOWS;
        const char *named = namedFile(cfg, path, file);
        if (named && Plan.ownerCount < IMAGE_OWNER_CAPACITY) {
            ImageOwner &o = Plan.owners[Plan.ownerCount++];
            CopyText(o.file, sizeof o.file, named);
            CopyText(o.service, sizeof o.service, name);
            o.named = self;
        }
    }
    for (const char *d = depends; *d; d += strlen(d) + 1) {
        int j = namedIndex(d);
        if (j < 0 || j == self)
            continue;
        if (self >= 0) {
            Plan.dependsOn[self][j] = true;
        } else if (Plan.verdict[j] == SERVICE_GOES) {
            Plan.verdict[j] = SERVICE_DEPENDED;
            CopyText(Plan.keeper[j], sizeof Plan.keeper[j], name);
        }
    }
}

void PlanServices(const UninstallConfig &cfg)
{
    memset(&Plan, 0, sizeof Plan);
    Plan.planned = true;
    Plan.count = cfg.serviceCount;
    memcpy(Plan.names, cfg.services, sizeof Plan.names);
    HKEY services;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ServicesPath, 0, KEY_READ, &services) != ERROR_SUCCESS)
        return;
    // A name listed twice is decided once, by its first place.
    for (int i = 0; i < Plan.count; i++)
        Plan.verdict[i] =
            IsPlainName(Plan.names[i]) && namedIndex(Plan.names[i]) < 0 && exists(services, Plan.names[i])
                ? SERVICE_GOES
                : SERVICE_ABSENT;
    for (DWORD index = 0;; index++) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(services, index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        examineService(cfg, services, name);
    }
    RegCloseKey(services);
}

bool ServiceRefused(const char *name)
{
    int i = Plan.planned ? namedIndex(name) : -1;
    return i >= 0 && (Plan.verdict[i] == SERVICE_WINDOWS || Plan.verdict[i] == SERVICE_DEPENDED);
}

void FinishServicePlan(const UninstallConfig &cfg)
{
    if (!Plan.planned)
        PlanServices(cfg);
    // A device that stays, present or not, still needs its service and filters.
    char users[LIST_CAPACITY][ENTRY_TEXT];
    FindServiceUsers(Plan.names, Plan.count, users);
    for (int i = 0; i < Plan.count; i++)
        if (Plan.verdict[i] == SERVICE_GOES && users[i][0] != '\0') {
            Plan.verdict[i] = SERVICE_USED;
            CopyText(Plan.keeper[i], sizeof Plan.keeper[i], users[i]);
        }
    // A service that stays keeps what it depends on, also among the INI's own.
    for (bool changed = true; changed;) {
        changed = false;
        for (int i = 0; i < Plan.count; i++)
            for (int j = 0; j < Plan.count; j++)
                if (Plan.dependsOn[i][j] && Plan.verdict[i] != SERVICE_GOES &&
                    Plan.verdict[j] == SERVICE_GOES) {
                    Plan.verdict[j] = SERVICE_DEPENDED;
                    CopyText(Plan.keeper[j], sizeof Plan.keeper[j], Plan.names[i]);
                    changed = true;
                }
    }
    Plan.finished = true;
}

const char *ServiceKeepingImage(const char *path)
{
    if (!Plan.finished)
        return NULL;
    char file[ENTRY_TEXT];
    ImageFileName(path, file, sizeof file);
    for (int i = 0; i < Plan.ownerCount; i++) {
        const ImageOwner &o = Plan.owners[i];
        bool stays = o.named < 0 || Plan.verdict[o.named] != SERVICE_GOES;
        if (stays && EqualsNoCase(o.file, file))
            return o.service;
    }
    return NULL;
}

bool RemoveFromNameList(char *list, DWORD *size, const char *name)
{
    bool removed = false;
    char *out = list;
    // The list ends at an empty name or at its size, whichever comes first.
    for (char *p = list; p < list + *size && *p;) {
        size_t n = 0;
        while (p + n < list + *size && p[n])
            n++;
        if (EqualsNoCase(p, name)) {
            removed = true;
        } else {
            memmove(out, p, n);
            out[n] = '\0';
            out += n + 1;
        }
        p += n + 1;
    }
    if (!removed)
        return false;
    *out++ = '\0';
    *size = (DWORD)(out - list);
    return true;
}

static const char *const FilterValues[] = {"UpperFilters", "LowerFilters"};

// The names of the services that go out of every class key's filter lists, the
// other names kept: a filter whose service is gone stops every device of the
// class from starting. A list that names one and cannot be written keeps it, and
// the service with it (`kept`). One walk for all services.
static void stripClassFilters(bool *kept, Remains *remains)
{
    HKEY root;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ClassRoot, 0, KEY_READ, &root) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; index++) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(root, index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        HKEY classKey;
        // One that cannot be written may still be read: it matters only if it names a service.
        if (RegOpenKeyExA(root, name, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &classKey) != ERROR_SUCCESS &&
            RegOpenKeyExA(root, name, 0, KEY_QUERY_VALUE, &classKey) != ERROR_SUCCESS)
            continue;
        for (const char *value : FilterValues) {
            char list[2048];
            DWORD listSize = readNameList(classKey, value, list, sizeof list);
            bool taken[LIST_CAPACITY] = {};
            bool any = false;
            for (int i = 0; i < Plan.count && listSize > 0; i++)
                if (Plan.verdict[i] == SERVICE_GOES && !kept[i])
                    any |= (taken[i] = RemoveFromNameList(list, &listSize, Plan.names[i]));
            if (!any)
                continue;
            // An empty list is no list: the value goes.
            LONG err = listSize <= 1
                           ? RegDeleteValueA(classKey, value)
                           : RegSetValueExA(classKey, value, 0, REG_MULTI_SZ, (const BYTE *)list, listSize);
            if (err == ERROR_SUCCESS) {
                NoteChange();
                continue;
            }
            for (int i = 0; i < Plan.count; i++) {
                if (!taken[i])
                    continue;
                kept[i] = true;
                char what[REMAINS_TEXT];
                snprintf(what, sizeof what, "HKLM\\%s\\%s %s (names the service %s)", ClassRoot, name, value,
                         Plan.names[i]);
                NoteRemaining(remains, what);
            }
        }
        RegCloseKey(classKey);
    }
    RegCloseKey(root);
}

typedef SC_HANDLE(WINAPI *OpenScmFn)(LPCSTR machine, LPCSTR database, DWORD access);
typedef SC_HANDLE(WINAPI *OpenServiceFn)(SC_HANDLE scm, LPCSTR name, DWORD access);
typedef BOOL(WINAPI *ControlServiceFn)(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
typedef BOOL(WINAPI *ServiceCallFn)(SC_HANDLE handle);

static void noteService(Remains *remains, const char *name, const char *why)
{
    char what[REMAINS_TEXT];
    snprintf(what, sizeof what, "HKLM\\%s\\", ServicesPath);
    AppendText(what, sizeof what, name);
    AppendText(what, sizeof what, why);
    NoteRemaining(remains, what);
}

// The service control manager's calls, advapi32's on the NT family, looked up at
// run time; its handle is opened once for the run's services.
struct ServiceManager {
    OpenServiceFn openService;
    ControlServiceFn control;
    ServiceCallFn deleteService, closeHandle;
    SC_HANDLE scm;
    DWORD openError; // why the manager could not be opened, or 0
};

static bool openServiceManager(ServiceManager *m)
{
    memset(m, 0, sizeof *m);
    OpenScmFn openScm = (OpenScmFn)FindSystemFunction("advapi32.dll", "OpenSCManagerA");
    m->openService = (OpenServiceFn)FindSystemFunction("advapi32.dll", "OpenServiceA");
    m->control = (ControlServiceFn)FindSystemFunction("advapi32.dll", "ControlService");
    m->deleteService = (ServiceCallFn)FindSystemFunction("advapi32.dll", "DeleteService");
    m->closeHandle = (ServiceCallFn)FindSystemFunction("advapi32.dll", "CloseServiceHandle");
    if (!openScm || !m->openService || !m->control || !m->deleteService || !m->closeHandle)
        return false;
    m->scm = openScm(NULL, NULL, SC_MANAGER_CONNECT);
    m->openError = m->scm ? 0 : GetLastError();
    return true;
}

// Through the service control manager: stopped, then deleted, so that no key is
// taken from under a running service. A service it does not know (a key written
// after Windows started) runs nowhere: its key is deleted.
static void removeService(const ServiceManager &m, bool managed, const char *name, Remains *remains)
{
    char why[64];
    if (managed && !m.scm) {
        snprintf(why, sizeof why, " (the service control manager: error %lu)", m.openError);
        noteService(remains, name, why);
        return;
    }
    SC_HANDLE service =
        managed ? m.openService(m.scm, name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE) : NULL;
    if (managed) {
        DWORD err = service ? ERROR_SUCCESS : GetLastError();
        if (service) {
            SERVICE_STATUS status;
            m.control(service, SERVICE_CONTROL_STOP, &status);
            if (!m.deleteService(service) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
                err = GetLastError();
            m.closeHandle(service);
        }
        if (err != ERROR_SUCCESS && err != ERROR_SERVICE_DOES_NOT_EXIST) {
            snprintf(why, sizeof why, " (the service control manager: error %lu)", err);
            noteService(remains, name, why);
            return;
        }
    }
    HKEY services;
    if (!OpenMachineKey(ServicesPath, KEY_ALL_ACCESS, &services, remains))
        return;
    if (!service) {
        DeleteKeyTree(services, ServicesPath, name, remains);
    } else if (!exists(services, name)) {
        NoteChange();
    } else {
        // Deleted once it stops, at the latest when Windows next starts.
        noteService(remains, name, " (marked for deletion at the next start)");
    }
    RegFlushKey(services);
    RegCloseKey(services);
}

// A kept service named with whom it is kept for.
static void noteKeptFor(const char *what, const char *before, const char *keeper, const char *after)
{
    char why[REMAINS_TEXT];
    CopyText(why, sizeof why, before);
    AppendText(why, sizeof why, keeper);
    AppendText(why, sizeof why, after);
    NoteLeftAlone(what, why);
}

void RemovePlannedServices(const UninstallConfig &cfg, Remains *remains)
{
    if (!Plan.finished)
        FinishServicePlan(cfg);
    bool kept[LIST_CAPACITY] = {};
    stripClassFilters(kept, remains);
    ServiceManager manager;
    bool managed = openServiceManager(&manager);
    for (int i = 0; i < Plan.count; i++) {
        const char *name = Plan.names[i];
        char what[REMAINS_TEXT];
        CopyText(what, sizeof what, "service ");
        AppendText(what, sizeof what, name);
        switch (Plan.verdict[i]) {
        case SERVICE_ABSENT:
            break;
        case SERVICE_GOES:
            if (!kept[i])
                removeService(manager, managed, name, remains);
            break;
        case SERVICE_WINDOWS:
            NoteLeftAlone(what, "its image is a file of Windows");
            break;
        case SERVICE_DEPENDED:
            noteKeptFor(what, "the service ", Plan.keeper[i], " depends on it");
            break;
        case SERVICE_USED:
            noteKeptFor(what, "used by the device ", Plan.keeper[i], ", which stays");
            break;
        }
    }
    if (managed && manager.scm)
        manager.closeHandle(manager.scm);
    // One run, one plan: the next run looks anew.
    memset(&Plan, 0, sizeof Plan);
}
