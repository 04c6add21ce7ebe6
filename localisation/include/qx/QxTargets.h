// Translator targets: which published properties of which classes a form translator
// translates, the matching rules, and the way a translator's target list is stored in form
// descriptions (its defined property "TargetsData"; the list's own defined property "Data" of
// older descriptions is read only).
//
// Matching ignores the case of the letters a-z only; equality of two targets is exact. An
// empty class name stands for any class and an empty property name for any property; a target
// with both names empty matches nothing. Exclusions win over inclusions.
//
// Raises: EQxMulti "Unknown target properties data version: N" for TargetsData of a version
// above 1; the form reader's errors (rtl::EReadError) for values of the wrong type;
// rtl::EConvertError when anything other than a target list is assigned to a list (the list
// is then unchanged); rtl::EListError for an index outside the list.
// Ownership: a list owns its targets; Clone hands a new target to the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/classes.h"
#include "components/filer.h"

namespace qx {

// Target kinds as stored (the low 8 bits of the stored integer).
enum : uint8_t { qxtkInclude = 0, qxtkExclude = 1 };

// One target. Its field ClassName is the name of the class it applies to, so the record does
// not name itself through a ClassName() of its own.
class TQxTargetProperty {
public:
    TQxTargetProperty() = default;
    TQxTargetProperty(std::string className, std::string propertyName, uint8_t kind);
    virtual ~TQxTargetProperty();

    std::unique_ptr<TQxTargetProperty> Clone() const;
    // Same ClassName, PropertyName (byte for byte) and Kind.
    bool Equals(const TQxTargetProperty& other) const;

    std::string ClassName;     // empty: any class
    std::string PropertyName;  // empty: any property
    uint8_t Kind = qxtkInclude;
};

class TQxTargetProperties : public kxc::TPersistent {
    KXC_CLASS(TQxTargetProperties, kxc::TPersistent)
public:
    TQxTargetProperties();
    ~TQxTargetProperties() override;
    TQxTargetProperties(const TQxTargetProperties&) = delete;
    TQxTargetProperties& operator=(const TQxTargetProperties&) = delete;

    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    int32_t ExcludeCount() const { return excludeCount_; }
    TQxTargetProperty* Items(int32_t index) const;
    // Index of the first target that Equals `target`, -1 when none.
    int32_t IndexOf(const TQxTargetProperty& target) const;
    // Appends; the list takes the target.
    void Add(std::unique_ptr<TQxTargetProperty> target);
    void Clear();

    // From another target list: a copy of each of its targets in its order (assigning a list
    // to itself changes nothing). Anything else: the framework's assignment error.
    void Assign(const kxc::TPersistent* source) override;
    // The same count, and every target of either list has an equal one in the other.
    bool SameTargets(const TQxTargetProperties& other) const;

    bool IsExcluded(const std::string& className, const std::string& propertyName) const;
    // The question the translator asks for every property of an object of class className
    // (the object's own class, never an ancestor's).
    bool IsTarget(const std::string& className, const std::string& propertyName) const;
    // True when an include target names every property of the class and no exclude target
    // does.
    bool IsClassTarget(const std::string& className) const;

    // "Data" of older form descriptions: read, never written.
    void DefineProperties(kxc::TFiler& filer) override;
    // (count, class, property ...): replaces the list, every target an include target, no
    // duplicate test.
    void ReadData(kxc::TReader& reader);

private:
    std::vector<std::unique_ptr<TQxTargetProperty>> items_;
    int32_t excludeCount_ = 0;
};

// ---- The translator's "TargetsData" --------------------------------------------------------
//
// (version count (class property kind) ...) with "*" for an empty name. A translator defines
// it through DefineTargetsData, giving the targets of the writer's ancestor translator when
// there is one (nullptr otherwise).

// Appends the stored targets to `targets`, dropping those the list holds already.
void ReadTargetsData(kxc::TReader& reader, TQxTargetProperties& targets);
// Writes version 1 and the targets that `ancestor` lacks (all without an ancestor).
void WriteTargetsData(kxc::TWriter& writer, const TQxTargetProperties& targets,
                      const TQxTargetProperties* ancestor);
// Reading: True. Writing: False for an empty list or one that has the ancestor's targets.
bool TargetsDataStored(const kxc::TFiler& filer, const TQxTargetProperties& targets,
                       const TQxTargetProperties* ancestor);
// Defines "TargetsData" on `filer` with the three above.
void DefineTargetsData(kxc::TFiler& filer, TQxTargetProperties& targets,
                       const TQxTargetProperties* ancestor);

}  // namespace qx
