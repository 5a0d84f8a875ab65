// COM as the phone gives it to the programs: apartments per thread, the one
// class the handset serves (the Pocket Outlook application), and the string
// calls. Each call returns the documented error.
//
// The interface ids of the folder, the collection and the contact item are
// not in the headers this project may consult; the values below were chosen
// in the same family as the application's and are the handset's own.
#include <mapix.h>
#include <objbase.h>
#include <pimstore.h>

#include "device/platform.h"
#include "device/relay.h"
#include "pim/objects.h"
#include "pim/store.h"

using handset::Enter;
using handset::PimStore;
using handset::Platform;

const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID CLSID_Application = {
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
const IID IID_IPOutlookApp = {
    0x05058F22, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
const IID IID_IFolder = {
    0x05058F30, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
const IID IID_IPOutlookItemCollection = {
    0x05058F31, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
const IID IID_IContact = {
    0x05058F32, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};

namespace {

PimStore& Store() {
    return Platform::Current().Get<PimStore>();
}

} // namespace

// The phone knows the two apartment models and no other flag.
HANDSET_API(HRESULT, CoInitializeEx, (LPVOID pvReserved, DWORD dwCoInit), (pvReserved, dwCoInit)) {
    if (auto e = Enter("CoInitializeEx")) return static_cast<HRESULT>(*e);
    if (pvReserved) return E_INVALIDARG;
    if (dwCoInit != COINIT_MULTITHREADED && dwCoInit != COINIT_APARTMENTTHREADED)
        return E_INVALIDARG;
    Platform& d = Platform::Current();
    PimStore& store = d.Get<PimStore>();
    if (PimStore::Apartment* a = store.FindApartment(d.CurrentTid())) {
        if (a->mode != dwCoInit) return RPC_E_CHANGED_MODE;
        ++a->count;
        return S_FALSE;
    }
    store.OpenApartment(d.CurrentTid(), dwCoInit, d.CurrentPid());
    return S_OK;
}

// Balances one successful CoInitializeEx; one too many does nothing.
HANDSET_API(void, CoUninitialize, (), ()) {
    // A void call has no error to give; the plan can only slow it down.
    (void)Enter("CoUninitialize");
    Platform& d = Platform::Current();
    PimStore& store = d.Get<PimStore>();
    PimStore::Apartment* a = store.FindApartment(d.CurrentTid());
    if (!a) return;
    if (--a->count == 0) store.CloseApartment(d.CurrentTid());
}

HANDSET_API(HRESULT, CoCreateInstance,
            (REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv),
            (rclsid, pUnkOuter, dwClsContext, riid, ppv)) {
    if (auto e = Enter("CoCreateInstance")) return static_cast<HRESULT>(*e);
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    Platform& d = Platform::Current();
    PimStore& store = d.Get<PimStore>();
    if (!store.FindApartment(d.CurrentTid())) return CO_E_NOTINITIALIZED;
    // The application is served in-process only.
    if (!IsEqualCLSID(rclsid, CLSID_Application) || !(dwClsContext & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    if (!IsEqualIID(riid, IID_IPOutlookApp) && !IsEqualIID(riid, IID_IDispatch) &&
        !IsEqualIID(riid, IID_IUnknown))
        return E_NOINTERFACE;
    *ppv = handset::NewApplication(store, d.CurrentTid());
    return S_OK;
}

HANDSET_API(BSTR, SysAllocString, (const OLECHAR* psz), (psz)) {
    if (Enter("SysAllocString")) return nullptr; // as when memory runs out
    if (!psz) return nullptr;
    return Store().NewString(psz);
}

HANDSET_API(void, SysFreeString, (BSTR bstr), (bstr)) {
    (void)Enter("SysFreeString");
    if (!bstr) return;
    Platform& d = Platform::Current();
    // On the phone a foreign pointer would corrupt the heap; here it is
    // refused and left on the timeline for the test to see.
    if (!d.Get<PimStore>().FreeString(bstr))
        d.timeline().Record("pim.bad-free", {{"call", "SysFreeString"}});
}

HANDSET_API(UINT, SysStringLen, (BSTR bstr), (bstr)) {
    (void)Enter("SysStringLen"); // no failure result: counted and slowed only
    return bstr ? Store().StringLength(bstr) : 0;
}

HANDSET_API(ULONG, MAPIFreeBuffer, (LPVOID lpBuffer), (lpBuffer)) {
    if (auto e = Enter("MAPIFreeBuffer")) return *e;
    if (!lpBuffer) return S_OK;
    if (!Store().FreeString(lpBuffer)) return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);
    return S_OK;
}
