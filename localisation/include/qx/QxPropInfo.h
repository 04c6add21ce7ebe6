// Unit QxDictio, property lists: the published properties of one object whose type kinds
// belong to a given set, in the order of the class's property index (ancestors' properties
// first, a property redeclared by a descendant once, in its most derived declaration).
//
// Raises: nothing.
// Ownership: the entries point into the class's type information, which outlives the list.
#pragma once

#include <cstdint>
#include <vector>

#include "components/classes.h"

namespace qx {

// A set of type kinds: bit k for kind k of the classic numbering (kxc::TTypeKind).
using TQxTypeKinds = uint32_t;

// Counts the published properties of the class whose kind is in `kinds` (a kind above 31
// never matches); when `list` is given, appends them to it in order.
int32_t GetFilteredPropInfos(const kxc::TClassInfo* classInfo, TQxTypeKinds kinds,
                             std::vector<const kxc::TPropInfo*>* list);

class TQxPropInfoList {
public:
    // The list of `object`'s published properties of the given kinds; empty for no object.
    TQxPropInfoList(const kxc::TObject* object, TQxTypeKinds kinds);
    virtual ~TQxPropInfoList();
    virtual const char* ClassName() const { return "TQxPropInfoList"; }
    TQxPropInfoList(const TQxPropInfoList&) = delete;
    TQxPropInfoList& operator=(const TQxPropInfoList&) = delete;

    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // The entry at a 0-based index below Count (nullptr outside the list).
    const kxc::TPropInfo* Items(int32_t index) const;

private:
    std::vector<const kxc::TPropInfo*> items_;
};

}  // namespace qx
