// The simulated capture filter; see simfilter.h.
#include <windows.h>
#include <ole2.h>
#include <strmif.h>

#include <stdio.h>
#include <string.h>

#include "simcard_ctl.h"
#include "simfilter.h"

namespace
{

const CLSID ClsidSimFilter = {0x8a3f4c21, 0x2388, 0x4d11, {0xb7, 0xa0, 0x51, 0xac, 0x0c, 0xa2, 0xd0, 0x01}};
const IID IidKsObject = {0x423c13a2, 0x2070, 0x11d0, {0x9e, 0xf7, 0x00, 0xaa, 0x00, 0xa2, 0x16, 0xa1}};

// Kernel streaming's IKsObject, declared here as the interface is small.
struct IKsObjectSim : public IUnknown {
    virtual HANDLE STDMETHODCALLTYPE KsGetObjectHandle() = 0;
};

HMODULE Module;
LONG Objects;
LONG Locks;

enum Variant { VARIANT_NORMAL, VARIANT_NO_KSOBJECT, VARIANT_NULL_HANDLE };

class SimFilter : public IBaseFilter, public IPersistPropertyBag, public IKsObjectSim
{
  public:
    SimFilter() { InterlockedIncrement(&Objects); }
    virtual ~SimFilter()
    {
        if (device_ != INVALID_HANDLE_VALUE)
            CloseHandle(device_);
        InterlockedDecrement(&Objects);
    }

    // IUnknown (one for all three interfaces)
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = NULL;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBaseFilter) ||
            IsEqualIID(iid, IID_IMediaFilter) || IsEqualIID(iid, IID_IPersist))
            *out = static_cast<IBaseFilter *>(this);
        else if (IsEqualIID(iid, IID_IPersistPropertyBag))
            *out = static_cast<IPersistPropertyBag *>(this);
        else if (IsEqualIID(iid, IidKsObject) && variant_ != VARIANT_NO_KSOBJECT)
            *out = static_cast<IKsObjectSim *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return n;
    }

    // IPersist
    STDMETHODIMP GetClassID(CLSID *clsid) override
    {
        if (!clsid)
            return E_POINTER;
        *clsid = ClsidSimFilter;
        return S_OK;
    }

    // IMediaFilter and IBaseFilter: nothing is ever streamed.
    STDMETHODIMP Stop() override { return S_OK; }
    STDMETHODIMP Pause() override { return S_OK; }
    STDMETHODIMP Run(REFERENCE_TIME) override { return S_OK; }
    STDMETHODIMP GetState(DWORD, FILTER_STATE *state) override
    {
        if (!state)
            return E_POINTER;
        *state = State_Stopped;
        return S_OK;
    }
    STDMETHODIMP SetSyncSource(IReferenceClock *) override { return S_OK; }
    STDMETHODIMP GetSyncSource(IReferenceClock **clock) override
    {
        if (!clock)
            return E_POINTER;
        *clock = NULL;
        return S_OK;
    }
    STDMETHODIMP EnumPins(IEnumPins **) override { return E_NOTIMPL; }
    STDMETHODIMP FindPin(LPCWSTR, IPin **) override { return E_NOTIMPL; }
    // The name the filter was listed under: lets a test see which device was bound.
    STDMETHODIMP QueryFilterInfo(FILTER_INFO *info) override
    {
        if (!info)
            return E_POINTER;
        memset(info, 0, sizeof *info);
        lstrcpynW(info->achName, name_, sizeof info->achName / sizeof info->achName[0]);
        return S_OK;
    }
    STDMETHODIMP JoinFilterGraph(IFilterGraph *, LPCWSTR) override { return S_OK; }
    STDMETHODIMP QueryVendorInfo(LPWSTR *) override { return E_NOTIMPL; }

    // IPersistPropertyBag: the moniker's values, given when it is bound.
    STDMETHODIMP InitNew() override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag *bag, IErrorLog *log) override
    {
        if (!bag)
            return E_POINTER;
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        if (SUCCEEDED(bag->Read(L"FriendlyName", &v, log)) && v.vt == VT_BSTR && v.bstrVal)
            lstrcpynW(name_, v.bstrVal, sizeof name_ / sizeof name_[0]);
        VariantClear(&v);
        v.vt = VT_BSTR;
        if (SUCCEEDED(bag->Read(L"SimVariant", &v, NULL)) && v.vt == VT_BSTR && v.bstrVal) {
            if (lstrcmpiW(v.bstrVal, L"NoKsObject") == 0)
                variant_ = VARIANT_NO_KSOBJECT;
            else if (lstrcmpiW(v.bstrVal, L"NullHandle") == 0)
                variant_ = VARIANT_NULL_HANDLE;
        }
        VariantClear(&v);
        return S_OK;
    }
    STDMETHODIMP Save(IPropertyBag *, BOOL, BOOL) override { return E_NOTIMPL; }

    // IKsObject: a handle on the simulated card, opened for overlapped requests
    // and owned by the filter (the caller borrows it).
    HANDLE STDMETHODCALLTYPE KsGetObjectHandle() override
    {
        if (variant_ == VARIANT_NULL_HANDLE)
            return NULL;
        if (device_ == INVALID_HANDLE_VALUE)
            device_ = CreateFileA(SIMCARD_USER_PATH, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, NULL);
        return device_ == INVALID_HANDLE_VALUE ? NULL : device_;
    }

  private:
    LONG refs_ = 1;
    Variant variant_ = VARIANT_NORMAL;
    HANDLE device_ = INVALID_HANDLE_VALUE;
    WCHAR name_[128] = {0};
};

class Factory : public IClassFactory
{
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = NULL;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        SimFilter *f = new SimFilter;
        HRESULT hr = f->QueryInterface(iid, out);
        f->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&Locks);
        else
            InterlockedDecrement(&Locks);
        return S_OK;
    }
};

Factory TheFactory;

bool setString(HKEY root, const char *path, const char *name, const char *value)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

const char ClassKey[] = "CLSID\\" SIMFILTER_CLSID_TEXT;
const char InstanceKey[] = "CLSID\\" SIMFILTER_CATEGORY_TEXT "\\Instance\\" SIMFILTER_CLSID_TEXT;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        Module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID *out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (!IsEqualCLSID(clsid, ClsidSimFilter))
        return CLASS_E_CLASSNOTAVAILABLE;
    return TheFactory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow()
{
    return Objects == 0 && Locks == 0 ? S_OK : S_FALSE;
}

// Registers the class and lists it as the card's capture device.
STDAPI DllRegisterServer()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(Module, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return E_FAIL;
    char server[sizeof ClassKey + 32];
    snprintf(server, sizeof server, "%s\\InprocServer32", ClassKey);
    bool ok = setString(HKEY_CLASSES_ROOT, ClassKey, NULL, "Simulated capture filter") &&
              setString(HKEY_CLASSES_ROOT, server, NULL, path) &&
              setString(HKEY_CLASSES_ROOT, server, "ThreadingModel", "Both") &&
              setString(HKEY_CLASSES_ROOT, InstanceKey, "FriendlyName", SIMFILTER_DEFAULT_NAME) &&
              setString(HKEY_CLASSES_ROOT, InstanceKey, "CLSID", SIMFILTER_CLSID_TEXT);
    return ok ? S_OK : E_FAIL;
}

STDAPI DllUnregisterServer()
{
    RegDeleteTreeA(HKEY_CLASSES_ROOT, InstanceKey);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassKey);
    return S_OK;
}
