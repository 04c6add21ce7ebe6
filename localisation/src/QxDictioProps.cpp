#include "qx/QxPropInfo.h"

namespace qx {

// The class's property index (its published properties, ancestors' first, each name once in
// its most derived declaration) comes from the component model.
int32_t GetFilteredPropInfos(const kxc::TClassInfo* classInfo, TQxTypeKinds kinds,
                             std::vector<const kxc::TPropInfo*>* list) {
    if (!classInfo) return 0;
    const std::vector<const kxc::TPropInfo*>& all = classInfo->Properties();
    int32_t count = 0;
    for (const kxc::TPropInfo* info : all) {
        if (!info) continue;
        const unsigned kind = info->Kind;
        if (kind > 31 || !(kinds & (TQxTypeKinds(1) << kind))) continue;
        ++count;
        if (list) list->push_back(info);
    }
    return count;
}

TQxPropInfoList::TQxPropInfoList(const kxc::TObject* object, TQxTypeKinds kinds) {
    if (!object) return;
    const kxc::TClassInfo* classInfo = object->ClassInfo();
    const int32_t count = GetFilteredPropInfos(classInfo, kinds, nullptr);
    if (count <= 0) return;
    items_.reserve(static_cast<size_t>(count));
    GetFilteredPropInfos(classInfo, kinds, &items_);
}

TQxPropInfoList::~TQxPropInfoList() = default;

const kxc::TPropInfo* TQxPropInfoList::Items(int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)];
}

}  // namespace qx
