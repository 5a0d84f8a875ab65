// COM, the string calls and the Pocket Outlook methods, with the HRESULTs
// each returns when it fails on the phone; the fault plan knows these and
// no others.
#include <mapix.h>
#include <objbase.h>

#include "device/platform_calls.h"

namespace {

using handset::PlatformCall;

constexpr DWORD H(HRESULT hr) {
    return static_cast<DWORD>(hr);
}

// Any method of a store object also fails with RPC_E_DISCONNECTED once the
// store it came from has gone.
PlatformCall Method(const char* name, std::vector<DWORD> errors) {
    errors.push_back(H(RPC_E_DISCONNECTED));
    return {name, std::move(errors)};
}

PlatformCall Text(const char* name) {
    // E_FAIL: the contact was deleted since the object was made.
    return Method(name, {H(E_OUTOFMEMORY), H(E_FAIL)});
}

const handset::PlatformCallTable kPimCalls(
    "pim",
    {
        {"CoInitializeEx",
         {H(E_OUTOFMEMORY), H(E_INVALIDARG), H(RPC_E_CHANGED_MODE), H(E_UNEXPECTED)}},
        {"CoUninitialize", {}},
        {"CoCreateInstance",
         {H(E_OUTOFMEMORY), H(REGDB_E_CLASSNOTREG), H(E_NOINTERFACE), H(CO_E_NOTINITIALIZED)}},
        // Fails with a null string, which stands for running out of memory.
        {"SysAllocString", {H(E_OUTOFMEMORY)}},
        {"SysFreeString", {}},
        {"SysStringLen", {}},
        {"MAPIFreeBuffer", {H(MAPI_E_INVALID_PARAMETER)}},

        Method("IDispatch::GetTypeInfoCount", {H(E_OUTOFMEMORY)}),
        Method("IDispatch::GetTypeInfo", {H(E_OUTOFMEMORY)}),
        Method("IDispatch::GetIDsOfNames", {H(E_OUTOFMEMORY)}),
        Method("IDispatch::Invoke", {H(E_OUTOFMEMORY)}),

        Method("IPOutlookApp::Logon", {H(E_FAIL), H(E_OUTOFMEMORY)}),
        Method("IPOutlookApp::Logoff", {H(E_FAIL)}),
        Method("IPOutlookApp::get_Version", {H(E_OUTOFMEMORY)}),
        Method("IPOutlookApp::GetDefaultFolder", {H(E_FAIL), H(E_OUTOFMEMORY)}),
        Method("IPOutlookApp::CreateItem", {H(E_OUTOFMEMORY), H(E_INVALIDARG)}),
        Method("IPOutlookApp::GetItemFromOid", {H(E_INVALIDARG), H(E_FAIL), H(E_OUTOFMEMORY)}),

        Method("IFolder::get_Items", {H(E_OUTOFMEMORY), H(E_FAIL)}),
        Method("IFolder::get_DefaultItemType", {}),
        Method("IFolder::get_Application", {}),

        Method("IPOutlookItemCollection::get_Count", {H(E_FAIL)}),
        Method("IPOutlookItemCollection::Item", {H(E_INVALIDARG), H(E_OUTOFMEMORY)}),
        Method("IPOutlookItemCollection::Add", {H(E_OUTOFMEMORY)}),
        Method("IPOutlookItemCollection::Find", {H(E_INVALIDARG), H(E_OUTOFMEMORY)}),
        Method("IPOutlookItemCollection::FindNext", {H(E_FAIL)}),
        Method("IPOutlookItemCollection::Remove", {H(E_INVALIDARG)}),
        Method("IPOutlookItemCollection::Restrict", {H(E_INVALIDARG), H(E_OUTOFMEMORY)}),
        Method("IPOutlookItemCollection::Sort", {H(E_INVALIDARG)}),
        Method("IPOutlookItemCollection::get_Application", {}),

        Method("IContact::get_Oid", {}),
        Method("IContact::get_Application", {}),
        Text("IContact::get_FirstName"),
        Text("IContact::get_MiddleName"),
        Text("IContact::get_LastName"),
        Text("IContact::get_Title"),
        Text("IContact::get_Suffix"),
        Text("IContact::get_FileAs"),
        Text("IContact::get_CompanyName"),
        Text("IContact::get_Department"),
        Text("IContact::get_JobTitle"),
        Text("IContact::get_BusinessTelephoneNumber"),
        Text("IContact::get_Business2TelephoneNumber"),
        Text("IContact::get_HomeTelephoneNumber"),
        Text("IContact::get_Home2TelephoneNumber"),
        Text("IContact::get_MobileTelephoneNumber"),
        Text("IContact::get_CarTelephoneNumber"),
        Text("IContact::get_RadioTelephoneNumber"),
        Text("IContact::get_PagerNumber"),
        Text("IContact::get_BusinessFaxNumber"),
        Text("IContact::get_HomeFaxNumber"),
        Text("IContact::get_Email1Address"),
        Text("IContact::get_Email2Address"),
        Text("IContact::get_Email3Address"),
    });

} // namespace
