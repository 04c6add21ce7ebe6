#include "qx/QxTargets.h"

#include <string>

#include "qx/QxDictio.h"
#include "rtl/strutil.h"

namespace qx {

namespace {

const char* const kAnyName = "*";

bool SameName(const std::string& a, const std::string& b) { return rtl::AsciiSameText(a, b); }

// A target names a property of every class (empty class), every property of one class (empty
// property) or one property of one class; both names empty name nothing.
bool Matches(const TQxTargetProperty& t, const std::string& className,
             const std::string& propertyName) {
    if (t.ClassName.empty() && t.PropertyName.empty()) return false;
    if ((t.ClassName.empty() || SameName(t.ClassName, className)) &&
        SameName(propertyName, t.PropertyName))
        return true;
    return t.PropertyName.empty() && SameName(t.ClassName, className);
}

// Each target of `a` has an equal one in `b`.
bool AllIn(const TQxTargetProperties& a, const TQxTargetProperties& b) {
    for (int32_t i = 0; i < a.Count(); ++i)
        if (b.IndexOf(*a.Items(i)) < 0) return false;
    return true;
}

bool HasInAncestor(const TQxTargetProperty& t, const TQxTargetProperties* ancestor) {
    return ancestor && ancestor->IndexOf(t) >= 0;
}

std::string StoredName(const std::string& name) { return name.empty() ? kAnyName : name; }
// Only the whole string "*" stands for any; "" does too, being empty already.
std::string ReadName(kxc::TReader& reader) {
    std::string name = reader.ReadString();
    if (name == kAnyName) name.clear();
    return name;
}

}  // namespace

// ---- TQxTargetProperty ---------------------------------------------------------------------

TQxTargetProperty::TQxTargetProperty(std::string className, std::string propertyName,
                                     uint8_t kind)
    : ClassName(std::move(className)), PropertyName(std::move(propertyName)), Kind(kind) {}

TQxTargetProperty::~TQxTargetProperty() = default;

std::unique_ptr<TQxTargetProperty> TQxTargetProperty::Clone() const {
    return std::make_unique<TQxTargetProperty>(ClassName, PropertyName, Kind);
}

bool TQxTargetProperty::Equals(const TQxTargetProperty& other) const {
    return ClassName == other.ClassName && PropertyName == other.PropertyName &&
           Kind == other.Kind;
}

// ---- TQxTargetProperties -------------------------------------------------------------------

KXC_IMPLEMENT_CLASS(TQxTargetProperties)

void TQxTargetProperties::DescribeClass(kxc::TClassBuilder<TQxTargetProperties>&) {}

TQxTargetProperties::TQxTargetProperties() = default;

TQxTargetProperties::~TQxTargetProperties() { Clear(); }

TQxTargetProperty* TQxTargetProperties::Items(int32_t index) const {
    if (index < 0 || index >= Count())
        throw rtl::EListError(rtl::Format("List index out of bounds (%d)", index));
    return items_[static_cast<size_t>(index)].get();
}

int32_t TQxTargetProperties::IndexOf(const TQxTargetProperty& target) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Equals(target)) return static_cast<int32_t>(i);
    return -1;
}

void TQxTargetProperties::Add(std::unique_ptr<TQxTargetProperty> target) {
    if (!target) return;
    if (target->Kind == qxtkExclude) ++excludeCount_;
    items_.push_back(std::move(target));
}

void TQxTargetProperties::Clear() {
    items_.clear();
    excludeCount_ = 0;
}

// Clearing first would empty a list assigned to itself, so that case is left alone.
void TQxTargetProperties::Assign(const kxc::TPersistent* source) {
    const auto* other = dynamic_cast<const TQxTargetProperties*>(source);
    if (!other) {
        inherited::Assign(source);
        return;
    }
    if (other == this) return;
    Clear();
    for (const auto& t : other->items_) Add(t->Clone());
}

// Both directions: with duplicates (old "Data" keeps them) one direction alone would take
// (A, A) for (A, B).
bool TQxTargetProperties::SameTargets(const TQxTargetProperties& other) const {
    return Count() == other.Count() && AllIn(*this, other) && AllIn(other, *this);
}

bool TQxTargetProperties::IsExcluded(const std::string& className,
                                     const std::string& propertyName) const {
    if (excludeCount_ <= 0) return false;
    for (const auto& t : items_)
        if (t->Kind == qxtkExclude && Matches(*t, className, propertyName)) return true;
    return false;
}

bool TQxTargetProperties::IsTarget(const std::string& className,
                                   const std::string& propertyName) const {
    if (IsExcluded(className, propertyName)) return false;
    for (const auto& t : items_)
        if (t->Kind == qxtkInclude && Matches(*t, className, propertyName)) return true;
    return false;
}

bool TQxTargetProperties::IsClassTarget(const std::string& className) const {
    auto namesClass = [&](const TQxTargetProperty& t, uint8_t kind) {
        return t.Kind == kind && t.PropertyName.empty() && SameName(t.ClassName, className);
    };
    if (excludeCount_ > 0)
        for (const auto& t : items_)
            if (namesClass(*t, qxtkExclude)) return false;
    for (const auto& t : items_)
        if (namesClass(*t, qxtkInclude)) return true;
    return false;
}

void TQxTargetProperties::DefineProperties(kxc::TFiler& filer) {
    inherited::DefineProperties(filer);
    const bool reading = dynamic_cast<kxc::TReader*>(&filer) != nullptr;
    filer.DefineProperty(
        "Data", [this](kxc::TReader& r) { ReadData(r); }, nullptr, reading);
}

void TQxTargetProperties::ReadData(kxc::TReader& reader) {
    Clear();
    reader.ReadListBegin();
    const int32_t count = reader.ReadInteger();
    for (int32_t i = 0; i < count; ++i) {
        auto t = std::make_unique<TQxTargetProperty>();
        t->ClassName = reader.ReadString();
        t->PropertyName = reader.ReadString();
        Add(std::move(t));
    }
    reader.ReadListEnd();
}

// ---- TargetsData ---------------------------------------------------------------------------

// Versions 0 and 1 are read alike. Reading appends: a descendant form's data (its differences
// from the ancestor) follows the ancestor's.
void ReadTargetsData(kxc::TReader& reader, TQxTargetProperties& targets) {
    reader.ReadListBegin();
    const int32_t version = reader.ReadInteger();
    if (version > 1)
        throw EQxMulti("Unknown target properties data version: " + std::to_string(version));
    const int32_t count = reader.ReadInteger();
    for (int32_t i = 0; i < count; ++i) {
        auto t = std::make_unique<TQxTargetProperty>();
        reader.ReadListBegin();
        t->ClassName = ReadName(reader);
        t->PropertyName = ReadName(reader);
        t->Kind = static_cast<uint8_t>(reader.ReadInteger() & 0xFF);
        reader.ReadListEnd();
        if (targets.IndexOf(*t) < 0) targets.Add(std::move(t));
    }
    reader.ReadListEnd();
}

void WriteTargetsData(kxc::TWriter& writer, const TQxTargetProperties& targets,
                      const TQxTargetProperties* ancestor) {
    int32_t count = 0;
    for (int32_t i = 0; i < targets.Count(); ++i)
        if (!HasInAncestor(*targets.Items(i), ancestor)) ++count;
    writer.WriteListBegin();
    writer.WriteInteger(1);
    writer.WriteInteger(count);
    for (int32_t i = 0; i < targets.Count(); ++i) {
        const TQxTargetProperty& t = *targets.Items(i);
        if (HasInAncestor(t, ancestor)) continue;
        writer.WriteListBegin();
        writer.WriteString(StoredName(t.ClassName));
        writer.WriteString(StoredName(t.PropertyName));
        writer.WriteInteger(t.Kind);
        writer.WriteListEnd();
    }
    writer.WriteListEnd();
}

bool TargetsDataStored(const kxc::TFiler& filer, const TQxTargetProperties& targets,
                       const TQxTargetProperties* ancestor) {
    if (dynamic_cast<const kxc::TReader*>(&filer)) return true;
    if (targets.Count() == 0) return false;
    return !ancestor || !targets.SameTargets(*ancestor);
}

void DefineTargetsData(kxc::TFiler& filer, TQxTargetProperties& targets,
                       const TQxTargetProperties* ancestor) {
    filer.DefineProperty(
        "TargetsData", [&targets](kxc::TReader& r) { ReadTargetsData(r, targets); },
        [&targets, ancestor](kxc::TWriter& w) { WriteTargetsData(w, targets, ancestor); },
        TargetsDataStored(filer, targets, ancestor));
}

}  // namespace qx
