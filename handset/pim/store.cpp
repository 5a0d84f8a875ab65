// The contact store's records, the COM apartments of the threads, the strings
// handed out and the objects alive, and what a process leaves behind.
#include "pim/store.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/file.h"
#include "device/platform.h"
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

PimStore::PimStore(Platform& platform) : Area(platform) {}

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

// A string is an entry under the address of its text; the length lies in
// the two units before it.
BSTR PimStore::NewString(std::u16string_view text) {
    size_t units = kPrefixUnits + text.size() + 1;
    std::shared_ptr<char16_t[]> storage(new char16_t[units]);
    auto bytes = static_cast<uint32_t>(text.size() * sizeof(char16_t));
    std::memcpy(storage.get(), &bytes, sizeof bytes);
    std::copy(text.begin(), text.end(), storage.get() + kPrefixUnits);
    storage[units - 1] = 0;
    BSTR s = storage.get() + kPrefixUnits;
    platform_.handles().AddAt(reinterpret_cast<uintptr_t>(s), kComString, platform_.CurrentPid(),
                              std::move(storage));
    return s;
}

bool PimStore::FreeString(const void* p) {
    return platform_.handles().Remove(reinterpret_cast<uintptr_t>(p), kComString);
}

bool PimStore::IsString(const void* p) const {
    return platform_.handles().Find(reinterpret_cast<uintptr_t>(p), kComString) != nullptr;
}

UINT PimStore::StringLength(const void* p) const {
    if (!IsString(p)) return 0;
    uint32_t bytes;
    std::memcpy(&bytes, static_cast<const char16_t*>(p) - kPrefixUnits, sizeof bytes);
    return bytes / sizeof(char16_t);
}

size_t PimStore::StringsOutstanding() const {
    return platform_.handles().CountOf(kComString);
}

// ---- Objects ------------------------------------------------------------------------
// An object is an entry under its own address, without an object of the
// table's: its memory belongs to its reference count.

void PimStore::Register(ComObjectBase* object) {
    objects_.insert(object);
    platform_.handles().AddAt(reinterpret_cast<uintptr_t>(object), kComObject, object->owner,
                              nullptr);
}

void PimStore::Unregister(ComObjectBase* object) {
    if (objects_.erase(object) == 0) return;
    // An object reclaimed at its process's exit was counted off then.
    if (!object->reclaimed)
        platform_.handles().Remove(reinterpret_cast<uintptr_t>(object), kComObject);
}

void ReclaimComObject(Platform&, uintptr_t value, const HandleEntry&) {
    // Counted off now, but its memory stays until released, so a pointer kept
    // elsewhere (by a test) is answered with RPC_E_DISCONNECTED instead of
    // undefined behaviour.
    auto* object = reinterpret_cast<ComObjectBase*>(value);
    object->disconnected = true;
    object->reclaimed = true;
}

void PimStore::ProcessExited(Process& process) {
    for (auto it = apartments_.begin(); it != apartments_.end();)
        it = it->second.pid == process.id ? apartments_.erase(it) : std::next(it);
}

} // namespace handset
