// Finding the card's capture filter among the video input devices, and its
// kernel-streaming device handle.
#include <windows.h>
#include <ole2.h>
#include <strmif.h>
#include <uuids.h>

#include <string.h>

#include "capture/capture_internal.h"

CaptureFilterState CaptureFilter = {NULL, NULL};

const char *const AcceptedFilterNames[4] = {
    "Calyx QT40X Video Capture",
    "Calyx Q40DV Video Capture",
    "Conexant 2388x Video Capture",
    "Conexant 23416 Video Capture",
};

// Kernel streaming's IKsObject: the filter's handle on its driver.
static const IID IID_IKsObjectCapture = {
    0x423C13A2, 0x2070, 0x11D0, {0x9E, 0xF7, 0x00, 0xAA, 0x00, 0xA2, 0x16, 0xA1}};
struct KsObjectInterface : public IUnknown {
    virtual HANDLE STDMETHODCALLTYPE KsGetObjectHandle() = 0;
};

static const size_t FRIENDLY_NAME_SIZE = 80;

// The moniker's friendly name in the ANSI code page; empty when it has none
// or when it does not fit the buffer (a name that long matches nothing).
static void readFriendlyName(IMoniker *moniker, char (&name)[FRIENDLY_NAME_SIZE])
{
    name[0] = 0;
    IPropertyBag *bag = NULL;
    if (FAILED(moniker->BindToStorage(NULL, NULL, IID_IPropertyBag, (void **)&bag)) || !bag)
        return;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    if (bag->Read(L"FriendlyName", &value, NULL) == S_OK) {
        if (value.vt == VT_BSTR && value.bstrVal &&
            WideCharToMultiByte(CP_ACP, 0, value.bstrVal, -1, name, (int)FRIENDLY_NAME_SIZE, NULL, NULL) == 0)
            name[0] = 0;
        name[FRIENDLY_NAME_SIZE - 1] = 0;
        VariantClear(&value);
    }
    bag->Release();
}

IBaseFilter *findCaptureFilter(const char *friendlyName)
{
    ICreateDevEnum *devices = NULL;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                (void **)&devices)) ||
        !devices)
        return NULL;
    IEnumMoniker *monikers = NULL;
    HRESULT hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
    devices->Release();
    // An empty category gives S_FALSE and no enumerator.
    if (FAILED(hr) || !monikers)
        return NULL;

    IBaseFilter *filter = NULL;
    monikers->Reset();
    IMoniker *moniker = NULL;
    while (monikers->Next(1, &moniker, NULL) == S_OK) {
        char name[FRIENDLY_NAME_SIZE];
        readFriendlyName(moniker, name);
        if (name[0] && strcmp(name, friendlyName) == 0) {
            if (FAILED(moniker->BindToObject(NULL, NULL, IID_IBaseFilter, (void **)&filter)))
                filter = NULL;
            moniker->Release();
            break;
        }
        moniker->Release();
    }
    monikers->Release();
    return filter;
}

bool openCaptureFilter()
{
    CoInitialize(NULL);
    if (CaptureFilter.filter) {
        // A second open replaces the filter rather than leaking it.
        CaptureFilter.filter->Release();
        CaptureFilter.filter = NULL;
    }
    for (const char *name : AcceptedFilterNames) {
        CaptureFilter.filter = findCaptureFilter(name);
        if (CaptureFilter.filter)
            break;
    }
    if (!CaptureFilter.filter) {
        // A handle kept from a filter no longer held would be a dangling one.
        CaptureFilter.deviceHandle = NULL;
        return false;
    }
    HANDLE handle = NULL;
    KsObjectInterface *ks = NULL;
    if (SUCCEEDED(CaptureFilter.filter->QueryInterface(IID_IKsObjectCapture, (void **)&ks)) && ks) {
        handle = ks->KsGetObjectHandle();
        ks->Release();
    }
    CaptureFilter.deviceHandle = handle == INVALID_HANDLE_VALUE ? NULL : handle;
    return true;
}

void releaseCaptureFilter()
{
    if (CaptureFilter.filter) {
        CaptureFilter.filter->Release();
        CaptureFilter.filter = NULL;
    }
    CoUninitialize();
}
