#include "components/classes.h"
#include "rtl/resstrings.h"

#include <algorithm>
#include <map>

#include "components/filer.h"
#include "rtl/strutil.h"

namespace kxc {

const TEnumInfo BooleanInfo{"Boolean", {"False", "True"}};

int TEnumInfo::IndexOf(const std::string& name) const {
    for (size_t i = 0; i < Names.size(); ++i)
        if (rtl::AsciiSameText(Names[i], name)) return int(i);
    return -1;
}

bool TIntIdentMap::ToInt(const std::string& ident, int32_t& value) const {
    for (const TIntIdent& i : Idents)
        if (rtl::AsciiSameText(ident, i.Name)) {
            value = i.Value;
            return true;
        }
    return false;
}

bool TIntIdentMap::ToIdent(int32_t value, std::string& ident) const {
    for (const TIntIdent& i : Idents)
        if (i.Value == value) {
            ident = i.Name;
            return true;
        }
    return false;
}

const std::string& TMethod::Name() const {
    static const std::string empty;
    return Info ? Info->Name : empty;
}

bool TPropInfo::Readable() const {
    return GetOrd || GetStr || GetFloat || GetObj || GetMethod;
}

bool TPropInfo::Writable() const {
    return SetOrd || SetStr || SetFloat || SetObj || SetMethod;
}

// ---- TClassInfo ----

TClassInfo::TClassInfo(const char* name, const TClassInfo* parent, ComponentFactory cf, ItemFactory itf)
    : name_(name), parent_(parent), componentFactory_(cf), itemFactory_(itf) {}

bool TClassInfo::InheritsFrom(const TClassInfo& c) const {
    for (const TClassInfo* p = this; p; p = p->parent_)
        if (p == &c) return true;
    return false;
}

bool TClassInfo::InheritsFrom(const std::string& name) const {
    for (const TClassInfo* p = this; p; p = p->parent_)
        if (rtl::AsciiSameText(p->name_, name)) return true;
    return false;
}

// Ancestors first; a redeclared property keeps the place of its first declaration and takes
// the most derived descriptor.
const std::vector<const TPropInfo*>& TClassInfo::Properties() const {
    if (!built_) {
        std::vector<const TClassInfo*> chain;
        for (const TClassInfo* p = this; p; p = p->parent_) chain.push_back(p);
        std::reverse(chain.begin(), chain.end());
        all_.clear();
        for (const TClassInfo* c : chain)
            for (const TPropInfo& p : c->own_) {
                auto it = std::find_if(all_.begin(), all_.end(), [&](const TPropInfo* q) {
                    return rtl::AsciiSameText(q->Name, p.Name);
                });
                if (p.Hidden) {
                    if (it != all_.end()) all_.erase(it);
                } else if (it != all_.end())
                    *it = &p;
                else
                    all_.push_back(&p);
            }
        built_ = true;
    }
    return all_;
}

std::vector<const TPropInfo*> TClassInfo::Properties(TTypeKinds kinds) const {
    std::vector<const TPropInfo*> r;
    for (const TPropInfo* p : Properties())
        if (p->Kind <= 31 && (kinds & KindBit(p->Kind))) r.push_back(p);
    return r;
}

const TPropInfo* TClassInfo::FindProperty(const std::string& name) const {
    for (const TPropInfo* p : Properties())
        if (rtl::AsciiSameText(p->Name, name)) return p;
    return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(const std::string& name) const {
    for (const TClassInfo* c = this; c; c = c->parent_)
        for (const TMethodInfo& m : c->methods_)
            if (rtl::AsciiSameText(m.Name, name)) return &m;
    return nullptr;
}

TComponent* TClassInfo::CreateComponent(TComponent* owner) const {
    if (!componentFactory_) throw EClassNotFound(rtl::FormatResString(&rtl::SClassNotFound, name_.c_str()));
    return componentFactory_(owner);
}

TCollectionItem* TClassInfo::CreateItem(TCollection* collection) const {
    if (!itemFactory_) throw EClassNotFound(rtl::FormatResString(&rtl::SClassNotFound, name_.c_str()));
    return itemFactory_(collection);
}

namespace {
std::map<std::string, const TClassInfo*>& Registry() {
    static std::map<std::string, const TClassInfo*> r;
    return r;
}
}  // namespace

void RegisterComponentClass(const TClassInfo& c) { Registry()[rtl::AsciiUpper(c.Name())] = &c; }

const TClassInfo* GetClass(const std::string& name) {
    auto it = Registry().find(rtl::AsciiUpper(name));
    return it == Registry().end() ? nullptr : it->second;
}

const TClassInfo& FindClass(const std::string& name) {
    const TClassInfo* c = GetClass(name);
    if (!c) throw EClassNotFound(rtl::FormatResString(&rtl::SClassNotFound, name.c_str()));
    return *c;
}

// ---- TObject ----

TObject::~TObject() = default;

const TClassInfo& TObject::StaticClass() {
    static TClassInfo info("TObject", nullptr, nullptr, nullptr);
    return info;
}

// ---- property access ----

namespace {
[[noreturn]] void NoProperty(const std::string& name) {
    throw EPropertyError(rtl::FormatResString(&rtl::SUnknownProperty, name.c_str()));
}
void CheckKind(const TPropInfo* p, TTypeKinds kinds) {
    if (!p) NoProperty("");
    if (p->Kind > 31 || !(kinds & KindBit(p->Kind)))
        throw EPropertyError(rtl::FormatResString(&rtl::SInvalidPropertyType, p->Name.c_str()));
}
[[noreturn]] void NoAccess(const TPropInfo* p, bool write) {
    throw EPropertyError(rtl::FormatResString(write ? &rtl::SReadOnlyProperty : &rtl::SWriteOnlyProperty,
                                     p->Name.c_str()));
}
}  // namespace

const TPropInfo* GetPropInfo(const TObject* obj, const std::string& name) {
    return obj ? obj->ClassInfo()->FindProperty(name) : nullptr;
}

bool FindPropPath(TObject* obj, const std::string& path, TObject*& target, const TPropInfo*& prop) {
    TObject* cur = obj;
    size_t start = 0;
    for (;;) {
        if (!cur) return false;
        size_t dot = path.find('.', start);
        std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        const TPropInfo* p = GetPropInfo(cur, part);
        if (!p) return false;
        if (dot == std::string::npos) {
            target = cur;
            prop = p;
            return true;
        }
        if (p->Kind != tkClass || !p->GetObj) return false;
        cur = p->GetObj(*cur);
        start = dot + 1;
    }
}

std::vector<const TPropInfo*> GetPropList(const TObject* obj, TTypeKinds kinds) {
    if (!obj) return {};
    return obj->ClassInfo()->Properties(kinds);
}

int64_t GetOrdProp(const TObject* obj, const TPropInfo* p) {
    CheckKind(p, tkOrdinals);
    if (!p->GetOrd) NoAccess(p, false);
    return p->GetOrd(*obj);
}

void SetOrdProp(TObject* obj, const TPropInfo* p, int64_t v) {
    CheckKind(p, tkOrdinals);
    if (!p->SetOrd) NoAccess(p, true);
    p->SetOrd(*obj, v);
}

std::string GetStrProp(const TObject* obj, const TPropInfo* p) {
    CheckKind(p, tkStrings | KindBit(tkChar) | KindBit(tkWChar));
    if (p->Kind == tkChar || p->Kind == tkWChar) {
        if (!p->GetOrd) NoAccess(p, false);
        return std::string(1, char(p->GetOrd(*obj)));
    }
    if (!p->GetStr) NoAccess(p, false);
    return p->GetStr(*obj);
}

void SetStrProp(TObject* obj, const TPropInfo* p, const std::string& v) {
    CheckKind(p, tkStrings | KindBit(tkChar) | KindBit(tkWChar));
    if (p->Kind == tkChar || p->Kind == tkWChar) {
        if (!p->SetOrd) NoAccess(p, true);
        if (v.size() != 1) throw EPropertyError(rtl::LoadResString(&rtl::SInvalidPropertyValue));
        p->SetOrd(*obj, static_cast<unsigned char>(v[0]));
        return;
    }
    if (!p->SetStr) NoAccess(p, true);
    p->SetStr(*obj, p->Kind == tkString && v.size() > 255 ? v.substr(0, 255) : v);
}

double GetFloatProp(const TObject* obj, const TPropInfo* p) {
    CheckKind(p, KindBit(tkFloat));
    if (!p->GetFloat) NoAccess(p, false);
    return p->GetFloat(*obj);
}

void SetFloatProp(TObject* obj, const TPropInfo* p, double v) {
    CheckKind(p, KindBit(tkFloat));
    if (!p->SetFloat) NoAccess(p, true);
    p->SetFloat(*obj, v);
}

std::string GetEnumProp(const TObject* obj, const TPropInfo* p) {
    CheckKind(p, KindBit(tkEnumeration));
    int64_t v = GetOrdProp(obj, p);
    if (!p->Enum || v < 0 || v >= int64_t(p->Enum->Names.size())) return std::to_string(v);
    return p->Enum->Names[size_t(v)];
}

void SetEnumProp(TObject* obj, const TPropInfo* p, const std::string& name) {
    CheckKind(p, KindBit(tkEnumeration));
    int i = p->Enum ? p->Enum->IndexOf(name) : -1;
    if (i < 0) throw EPropertyError(rtl::LoadResString(&rtl::SInvalidPropertyValue));
    SetOrdProp(obj, p, i);
}

std::string GetSetProp(const TObject* obj, const TPropInfo* p) {
    CheckKind(p, KindBit(tkSet));
    uint32_t mask = uint32_t(GetOrdProp(obj, p));
    std::string r = "[";
    for (size_t i = 0; p->Enum && i < p->Enum->Names.size() && i < 32; ++i)
        if (mask & (1u << i)) {
            if (r.size() > 1) r += ',';
            r += p->Enum->Names[i];
        }
    return r + "]";
}

void SetSetProp(TObject* obj, const TPropInfo* p, const std::string& text) {
    CheckKind(p, KindBit(tkSet));
    uint32_t mask = 0;
    std::string cur;
    auto flush = [&]() {
        size_t b = cur.find_first_not_of(" \t");
        size_t e = cur.find_last_not_of(" \t");
        std::string name = b == std::string::npos ? std::string() : cur.substr(b, e - b + 1);
        cur.clear();
        if (name.empty()) return;
        int i = p->Enum ? p->Enum->IndexOf(name) : -1;
        if (i < 0 || i > 31) throw EPropertyError(rtl::LoadResString(&rtl::SInvalidPropertyValue));
        mask |= 1u << i;
    };
    for (char ch : text) {
        if (ch == '[' || ch == ']') continue;
        if (ch == ',')
            flush();
        else
            cur += ch;
    }
    flush();
    SetOrdProp(obj, p, mask);
}

TObject* GetObjectProp(const TObject* obj, const TPropInfo* p) {
    CheckKind(p, KindBit(tkClass));
    if (!p->GetObj) NoAccess(p, false);
    return p->GetObj(*obj);
}

void SetObjectProp(TObject* obj, const TPropInfo* p, TObject* v) {
    CheckKind(p, KindBit(tkClass));
    if (!p->SetObj) NoAccess(p, true);
    p->SetObj(*obj, v);
}

TMethod GetMethodProp(const TObject* obj, const TPropInfo* p) {
    CheckKind(p, KindBit(tkMethod));
    if (!p->GetMethod) NoAccess(p, false);
    return p->GetMethod(*obj);
}

void SetMethodProp(TObject* obj, const TPropInfo* p, const TMethod& m) {
    CheckKind(p, KindBit(tkMethod));
    if (!p->SetMethod) NoAccess(p, true);
    p->SetMethod(*obj, m);
}

namespace {
std::pair<TObject*, const TPropInfo*> Resolve(TObject* obj, const std::string& path) {
    TObject* t = nullptr;
    const TPropInfo* p = nullptr;
    if (!FindPropPath(obj, path, t, p)) NoProperty(path);
    return {t, p};
}
}  // namespace

int64_t GetOrdProp(TObject* obj, const std::string& path) {
    auto [t, p] = Resolve(obj, path);
    return GetOrdProp(t, p);
}
void SetOrdProp(TObject* obj, const std::string& path, int64_t v) {
    auto [t, p] = Resolve(obj, path);
    SetOrdProp(t, p, v);
}
std::string GetStrProp(TObject* obj, const std::string& path) {
    auto [t, p] = Resolve(obj, path);
    return GetStrProp(t, p);
}
void SetStrProp(TObject* obj, const std::string& path, const std::string& v) {
    auto [t, p] = Resolve(obj, path);
    SetStrProp(t, p, v);
}
std::string GetEnumProp(TObject* obj, const std::string& path) {
    auto [t, p] = Resolve(obj, path);
    return GetEnumProp(t, p);
}
void SetEnumProp(TObject* obj, const std::string& path, const std::string& name) {
    auto [t, p] = Resolve(obj, path);
    SetEnumProp(t, p, name);
}
std::string GetSetProp(TObject* obj, const std::string& path) {
    auto [t, p] = Resolve(obj, path);
    return GetSetProp(t, p);
}
void SetSetProp(TObject* obj, const std::string& path, const std::string& text) {
    auto [t, p] = Resolve(obj, path);
    SetSetProp(t, p, text);
}
TObject* GetObjectProp(TObject* obj, const std::string& path) {
    auto [t, p] = Resolve(obj, path);
    return GetObjectProp(t, p);
}
void SetObjectProp(TObject* obj, const std::string& path, TObject* v) {
    auto [t, p] = Resolve(obj, path);
    SetObjectProp(t, p, v);
}

// ---- TPersistent ----

KXC_IMPLEMENT_CLASS(TPersistent)
void TPersistent::DescribeClass(TClassBuilder<TPersistent>&) {}

void TPersistent::Assign(const TPersistent* source) {
    if (source) {
        source->AssignTo(this);
        return;
    }
    throw rtl::EConvertError(rtl::FormatResString(&rtl::SAssignNilError, ClassName().c_str()));
}

void TPersistent::AssignTo(TPersistent* dest) const {
    throw rtl::EConvertError(
        rtl::FormatResString(&rtl::SAssignError, ClassName().c_str(), dest->ClassName().c_str()));
}

void TPersistent::DefineProperties(TFiler&) {}

// ---- TComponent ----

KXC_IMPLEMENT_CLASS(TComponent)
void TComponent::DescribeClass(TClassBuilder<TComponent>& c) {
    c.Str("Name", &TComponent::Name, &TComponent::SetName).Stored([](const TObject&) { return false; });
    c.Int("Tag", &TComponent::Tag, &TComponent::SetTag).DefaultValue(0);
}

bool IsValidIdent(const std::string& s) {
    if (s.empty()) return false;
    auto alpha = [](char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch == '_'; };
    if (!alpha(s[0])) return false;
    for (char ch : s)
        if (!alpha(ch) && !(ch >= '0' && ch <= '9')) return false;
    return true;
}

// The derived parts do not exist yet: the component joins the list (and the designing state,
// which its constructors may test) now, and the owner hears of it from AfterConstruction.
TComponent::TComponent(TComponent* owner) {
    if (owner) {
        owner->Insert(this);
        if (owner->Designing()) SetDesigning(true);
        insertPending_ = true;
    }
}

void TComponent::AfterConstruction() {
    if (!insertPending_) return;
    insertPending_ = false;
    if (owner_) owner_->Notification(this, opInsert);
}

TComponent::~TComponent() {
    state_ |= csDestroying;
    // Partners asked to hear of this component's end; each forgets it.
    while (!freeNotifies_.empty()) {
        TComponent* c = freeNotifies_.back();
        freeNotifies_.pop_back();
        auto& other = c->freeNotifies_;
        other.erase(std::remove(other.begin(), other.end(), this), other.end());
        c->Notification(this, opRemove);
    }
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Free() {
    BeforeDestruction();
    delete this;
}

void TComponent::BeforeDestruction() { state_ |= csDestroying; }

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError(rtl::FormatResString(&rtl::SInvalidName, name.c_str()));
    if (!name.empty() && owner_) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this)
            throw EComponentError(rtl::FormatResString(&rtl::SDuplicateName, name.c_str()));
    }
    name_ = name;
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw rtl::EListError(rtl::FormatResString(&rtl::SListIndexError, index));
    return components_[size_t(index)];
}

int TComponent::ComponentIndex() const {
    if (!owner_) return -1;
    auto& v = owner_->components_;
    auto it = std::find(v.begin(), v.end(), this);
    return it == v.end() ? -1 : int(it - v.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (rtl::AsciiSameText(c->name_, name)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
    if (!c->name_.empty() && FindComponent(c->name_))
        throw EComponentError(rtl::FormatResString(&rtl::SDuplicateName, c->name_.c_str()));
    if (c->owner_) c->owner_->RemoveComponent(c);
    Insert(c);
    if (Designing()) c->SetDesigning(true);
    // One still inside its constructors is announced when they are done.
    if (!c->insertPending_) Notification(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
    Notification(c, opRemove);
    Remove(c);
}

void TComponent::Insert(TComponent* c) {
    components_.push_back(c);
    c->owner_ = this;
}

void TComponent::Remove(TComponent* c) {
    components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
    c->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* c = components_.back();
        // Tell the remaining components first, so that none keeps a reference to it.
        RemoveComponent(c);
        c->Free();
    }
}

void TComponent::SetDesigning(bool on, bool children) {
    if (on)
        state_ |= csDesigning;
    else
        state_ &= ~csDesigning;
    if (children)
        for (TComponent* c : components_) c->SetDesigning(on, true);
}

void TComponent::FreeNotification(TComponent* c) {
    if (!c || c == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), c) == freeNotifies_.end())
        freeNotifies_.push_back(c);
    if (std::find(c->freeNotifies_.begin(), c->freeNotifies_.end(), this) == c->freeNotifies_.end())
        c->freeNotifies_.push_back(this);
    state_ |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* c) {
    if (!c) return;
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), c), freeNotifies_.end());
    c->freeNotifies_.erase(std::remove(c->freeNotifies_.begin(), c->freeNotifies_.end(), this),
                           c->freeNotifies_.end());
}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::Notification(TComponent* c, TOperation op) {
    if (op == opRemove && c) RemoveFreeNotification(c);
    // Copy: a component may free its siblings while it hears of the change.
    std::vector<TComponent*> list = components_;
    for (TComponent* child : list)
        if (child != c &&
            std::find(components_.begin(), components_.end(), child) != components_.end())
            child->Notification(c, op);
}

void TComponent::GetChildren(const std::function<void(TComponent*)>&, TComponent*) {}

// ---- TStrings ----

KXC_IMPLEMENT_CLASS(TStrings)
void TStrings::DescribeClass(TClassBuilder<TStrings>&) {}

void TStrings::Put(int index, const std::string& s) {
    BeginUpdate();
    Delete(index);
    Insert(index, s);
    EndUpdate();
}

int TStrings::Add(const std::string& s) {
    int n = Count();
    Insert(n, s);
    return n;
}

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (rtl::AsciiSameText(Get(i), s)) return i;
    return -1;
}

std::string TStrings::Text() const {
    std::string r;
    for (int i = 0; i < Count(); ++i) r += Get(i) + "\r\n";
    return r;
}

void TStrings::SetText(const std::string& text) {
    BeginUpdate();
    Clear();
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find_first_of("\r\n", i);
        if (j == std::string::npos) {
            Add(text.substr(i));
            break;
        }
        Add(text.substr(i, j - i));
        if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ++j;
        i = j + 1;
    }
    EndUpdate();
}

void TStrings::BeginUpdate() {
    if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Changed() {
    if (updateCount_ == 0) OnChange(this);
}

void TStrings::Assign(const TPersistent* source) {
    if (auto* s = dynamic_cast<const TStrings*>(source)) {
        BeginUpdate();
        Clear();
        for (int i = 0; i < s->Count(); ++i) Add(s->Get(i));
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

void TStrings::DefineProperties(TFiler& filer) {
    filer.DefineProperty(
        "Strings",
        [this](TReader& r) {
            BeginUpdate();
            Clear();
            r.ReadListBegin();
            while (!r.EndOfList()) Add(r.ReadString());
            r.ReadListEnd();
            EndUpdate();
        },
        [this](TWriter& w) {
            w.WriteListBegin();
            for (int i = 0; i < Count(); ++i) w.WriteString(Get(i));
            w.WriteListEnd();
        },
        Count() > 0);
}

// ---- TStringList ----

KXC_IMPLEMENT_CLASS(TStringList)
void TStringList::DescribeClass(TClassBuilder<TStringList>&) {}

void TStringList::CheckIndex(int index, bool allowEnd) const {
    if (index < 0 || index > Count() || (!allowEnd && index == Count()))
        throw rtl::EListError(rtl::FormatResString(&rtl::SListIndexError, index));
}

std::string TStringList::Get(int index) const {
    CheckIndex(index, false);
    return items_[size_t(index)];
}

void TStringList::Put(int index, const std::string& s) {
    CheckIndex(index, false);
    items_[size_t(index)] = s;
    Changed();
}

void TStringList::Insert(int index, const std::string& s) {
    CheckIndex(index, true);
    items_.insert(items_.begin() + index, s);
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index, false);
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (items_.empty()) return;
    items_.clear();
    Changed();
}

int TStringList::Add(const std::string& s) {
    if (!sorted_) return TStrings::Add(s);
    auto it = std::upper_bound(items_.begin(), items_.end(), s, [](const std::string& a, const std::string& b) {
        return rtl::AsciiCompareText(a, b) < 0;
    });
    int index = int(it - items_.begin());
    items_.insert(it, s);
    Changed();
    return index;
}

void TStringList::SetSorted(bool v) {
    if (v == sorted_) return;
    sorted_ = v;
    if (v) Sort();
}

void TStringList::Sort() {
    std::stable_sort(items_.begin(), items_.end(), [](const std::string& a, const std::string& b) {
        return rtl::AsciiCompareText(a, b) < 0;
    });
    Changed();
}

void TStringList::Changed() {
    if (UpdateCount() > 0)
        changedWhileUpdating_ = true;
    else
        TStrings::Changed();
}

void TStringList::SetUpdateState(bool updating) {
    if (!updating && changedWhileUpdating_) {
        changedWhileUpdating_ = false;
        TStrings::Changed();
    }
}

// ---- Collections ----

KXC_IMPLEMENT_CLASS(TCollectionItem)
void TCollectionItem::DescribeClass(TClassBuilder<TCollectionItem>&) {}

TCollectionItem::TCollectionItem(TCollection* collection) {
    if (collection) collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
    if (collection_) collection_->RemoveItem(this);
}

int TCollectionItem::Index() const {
    if (!collection_) return -1;
    auto& v = collection_->items_;
    return int(std::find(v.begin(), v.end(), this) - v.begin());
}

void TCollectionItem::SetIndex(int index) {
    int cur = Index();
    if (cur < 0 || index == cur) return;
    auto& v = collection_->items_;
    if (index < 0) index = 0;
    if (index >= int(v.size())) index = int(v.size()) - 1;
    v.erase(v.begin() + cur);
    v.insert(v.begin() + index, this);
    collection_->Changed();
}

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

KXC_IMPLEMENT_CLASS(TCollection)
void TCollection::DescribeClass(TClassBuilder<TCollection>&) {}

TCollection::TCollection(const TClassInfo& itemClass, TPersistent* owner)
    : itemClass_(itemClass), owner_(owner) {}

TCollection::~TCollection() {
    updateCount_ = 1;
    Clear();
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count())
        throw rtl::EListError(rtl::FormatResString(&rtl::SListIndexError, index));
    return items_[size_t(index)];
}

TCollectionItem* TCollection::Add() { return itemClass_.CreateItem(this); }

void TCollection::Delete(int index) { delete Items(index); }

void TCollection::Clear() {
    if (items_.empty()) return;
    BeginUpdate();
    while (!items_.empty()) delete items_.back();
    EndUpdate();
}

void TCollection::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::Assign(const TPersistent* source) {
    if (auto* s = dynamic_cast<const TCollection*>(source)) {
        BeginUpdate();
        Clear();
        for (TCollectionItem* item : s->items_) Add()->Assign(item);
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

void TCollection::InsertItem(TCollectionItem* item) {
    items_.push_back(item);
    item->collection_ = this;
    item->id_ = nextId_++;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    item->collection_ = nullptr;
    Changed();
}

void TCollection::Changed() {
    if (updateCount_ == 0) OnChange(this);
}

}  // namespace kxc
