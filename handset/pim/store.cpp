// The contact store's records, the COM apartments of the threads, the strings
// handed out and the objects alive, and what a process leaves behind.
#include "pim/store.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/file.h"
#include "device/device.h"
#include "pim/vcard.h"

namespace handset {

namespace {

constexpr std::array<ContactProperty, 22> kProperties = {{
    {"FirstName", &ContactRecord::firstName},
    {"MiddleName", &ContactRecord::middleName},
    {"LastName", &ContactRecord::lastName},
    {"Title", &ContactRecord::title},
    {"Suffix", &ContactRecord::suffix},
    {"FileAs", &ContactRecord::fileAs},
    {"CompanyName", &ContactRecord::companyName},
    {"Department", &ContactRecord::department},
    {"JobTitle", &ContactRecord::jobTitle},
    {"BusinessTelephoneNumber", &ContactRecord::businessTelephoneNumber},
    {"Business2TelephoneNumber", &ContactRecord::business2TelephoneNumber},
    {"HomeTelephoneNumber", &ContactRecord::homeTelephoneNumber},
    {"Home2TelephoneNumber", &ContactRecord::home2TelephoneNumber},
    {"MobileTelephoneNumber", &ContactRecord::mobileTelephoneNumber},
    {"CarTelephoneNumber", &ContactRecord::carTelephoneNumber},
    {"RadioTelephoneNumber", &ContactRecord::radioTelephoneNumber},
    {"PagerNumber", &ContactRecord::pagerNumber},
    {"BusinessFaxNumber", &ContactRecord::businessFaxNumber},
    {"HomeFaxNumber", &ContactRecord::homeFaxNumber},
    {"Email1Address", &ContactRecord::email1Address},
    {"Email2Address", &ContactRecord::email2Address},
    {"Email3Address", &ContactRecord::email3Address},
}};

// Characters before the text in a string block: the 32-bit byte length.
constexpr size_t kPrefixUnits = 2;

} // namespace

std::span<const ContactProperty> ContactProperties() {
    return kProperties;
}

const ContactProperty* FindContactProperty(std::string_view name) {
    for (auto& p : kProperties)
        if (name == p.name) return &p;
    return nullptr;
}

PimStore& Device::contacts() {
    if (!contacts_) {
        contacts_ = std::make_shared<PimStore>(*this);
        PimStore* store = contacts_.get();
        OnProcessExit([store](DWORD pid) { store->ProcessExited(pid); });
    }
    return *contacts_;
}

PimStore::PimStore(Device& device) : device_(device) {}

PimStore::~PimStore() {
    // The device is going: what programs or tests still hold goes with it.
    tearingDown_ = true;
    auto left = std::move(objects_);
    for (ComObjectBase* object : left)
        delete object;
}

// ---- Records -------------------------------------------------------------------

long PimStore::Add(ContactRecord contact) {
    long oid = nextOid_++;
    records_.push_back({oid, std::move(contact)});
    return oid;
}

bool PimStore::Remove(long oid) {
    auto it = std::find_if(records_.begin(), records_.end(),
                           [&](const Record& r) { return r.oid == oid; });
    if (it == records_.end()) return false;
    records_.erase(it);
    return true;
}

void PimStore::Clear() {
    records_.clear();
}

const ContactRecord* PimStore::At(size_t index) const {
    return index < records_.size() ? &records_[index].contact : nullptr;
}

long PimStore::OidAt(size_t index) const {
    return index < records_.size() ? records_[index].oid : 0;
}

const PimStore::Record* PimStore::FindRecord(long oid) const {
    for (auto& r : records_)
        if (r.oid == oid) return &r;
    return nullptr;
}

const ContactRecord* PimStore::Find(long oid) const {
    const Record* r = FindRecord(oid);
    return r ? &r->contact : nullptr;
}

bool PimStore::LoadVcfText(std::string_view text, std::string_view sourceName, std::string* error,
                           std::vector<std::string>* notes) {
    VcardResult result;
    std::string message;
    if (!ParseVcards(text, sourceName, &result, &message)) {
        if (error) *error = message;
        return false;
    }
    for (auto& contact : result.contacts)
        Add(std::move(contact));
    if (notes) notes->insert(notes->end(), result.notes.begin(), result.notes.end());
    return true;
}

bool PimStore::LoadVcf(const std::string& path, std::string* error,
                       std::vector<std::string>* notes) {
    std::string text;
    if (!ReadWholeFile(path, &text, error)) return false;
    return LoadVcfText(text, path, error, notes);
}

// ---- Apartments ------------------------------------------------------------------

PimStore::Apartment* PimStore::FindApartment(DWORD tid) {
    auto it = apartments_.find(tid);
    return it == apartments_.end() ? nullptr : &it->second;
}

PimStore::Apartment& PimStore::OpenApartment(DWORD tid, DWORD mode, DWORD pid) {
    Apartment& a = apartments_[tid];
    a.mode = mode;
    a.pid = pid;
    a.count = 1;
    return a;
}

void PimStore::CloseApartment(DWORD tid) {
    apartments_.erase(tid);
    // On the phone the server may be unloaded now; objects made under this
    // thread's COM answer RPC_E_DISCONNECTED from here on. They stay counted
    // until released, as they are still a leak.
    for (ComObjectBase* object : objects_)
        if (object->apartment == tid) object->disconnected = true;
}

// ---- Strings -----------------------------------------------------------------------

BSTR PimStore::NewString(std::u16string_view text) {
    size_t units = kPrefixUnits + text.size() + 1;
    auto storage = std::make_unique<char16_t[]>(units);
    auto bytes = static_cast<uint32_t>(text.size() * sizeof(char16_t));
    std::memcpy(storage.get(), &bytes, sizeof bytes);
    std::copy(text.begin(), text.end(), storage.get() + kPrefixUnits);
    storage[units - 1] = 0;
    BSTR s = storage.get() + kPrefixUnits;
    DWORD owner = device_.CurrentPid();
    strings_[s] = {std::move(storage), owner};
    device_.Account(owner, Resource::ComString, +1);
    return s;
}

bool PimStore::FreeString(const void* p) {
    auto it = strings_.find(p);
    if (it == strings_.end()) return false;
    device_.Account(it->second.owner, Resource::ComString, -1);
    strings_.erase(it);
    return true;
}

bool PimStore::IsString(const void* p) const {
    return strings_.count(p) != 0;
}

UINT PimStore::StringLength(const void* p) const {
    auto it = strings_.find(p);
    if (it == strings_.end()) return 0;
    uint32_t bytes;
    std::memcpy(&bytes, it->second.storage.get(), sizeof bytes);
    return bytes / sizeof(char16_t);
}

// ---- Objects ------------------------------------------------------------------------

void PimStore::Register(ComObjectBase* object) {
    objects_.insert(object);
    device_.Account(object->owner, Resource::ComObject, +1);
}

void PimStore::Unregister(ComObjectBase* object) {
    if (objects_.erase(object) == 0) return;
    // An object reclaimed at its process's exit was counted off then.
    if (!object->reclaimed) device_.Account(object->owner, Resource::ComObject, -1);
}

void PimStore::ProcessExited(DWORD pid) {
    // The device has kept the counts as they were at the exit; now the
    // process's strings go, and its objects are disconnected and counted off.
    // Their memory stays until released, so a pointer kept elsewhere (by a
    // test) is answered with RPC_E_DISCONNECTED instead of undefined
    // behaviour.
    for (auto it = strings_.begin(); it != strings_.end();) {
        if (it->second.owner == pid) {
            device_.Account(pid, Resource::ComString, -1);
            it = strings_.erase(it);
        } else {
            ++it;
        }
    }
    for (ComObjectBase* object : objects_) {
        if (object->owner != pid || object->reclaimed) continue;
        object->disconnected = true;
        object->reclaimed = true;
        device_.Account(pid, Resource::ComObject, -1);
    }
    for (auto it = apartments_.begin(); it != apartments_.end();)
        it = it->second.pid == pid ? apartments_.erase(it) : std::next(it);
}

} // namespace handset
