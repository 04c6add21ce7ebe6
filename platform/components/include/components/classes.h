// The component model: class identity, published properties by kind, persistent objects,
// components with owners, string lists and collections.
//
// Every class of the model derives from TObject and describes itself with KXC_CLASS in its
// declaration and KXC_IMPLEMENT_CLASS in one .cpp, where DescribeClass lists its published
// properties and methods in declaration order. A TClassInfo carries the class name, the
// ancestor chain, a factory (components and collection items) and the published members.
//
// Raises: EPropertyError (unknown property, wrong kind, missing read or write access, bad
// enumeration or set name), EComponentError (invalid or duplicate component name),
// rtl::EConvertError (Assign between unrelated classes), rtl::EListError (bad list index).
//
// Ownership: a component frees the components it owns when it is freed; a collection owns its
// items; property descriptors live in their class's TClassInfo for the life of the process.
//
// Insertion after construction, removal before destruction: a component joins its owner's list
// in its constructor, but the owner (and through it every sibling) hears of it only once the
// object is fully built, from AfterConstruction, so that a listener sees the derived class and
// its published properties. The class factory, CreateForm and Create<T> call it; code that
// makes a component with plain `new` calls it itself (or the insertion goes unannounced).
#pragma once

#include <any>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/resstrings.h"

namespace kxc {

RTL_DECLARE_EXCEPTION(EPropertyError, rtl::Exception);
RTL_DECLARE_EXCEPTION(EComponentError, rtl::Exception);
RTL_DECLARE_EXCEPTION(EClassNotFound, rtl::EFilerError);

class TObject;
class TClassInfo;
class TPersistent;
class TComponent;
class TCollection;
class TCollectionItem;
class TFiler;
class TReader;
class TWriter;

// Property type kinds in the classic numbering.
enum TTypeKind : uint8_t {
    tkUnknown = 0,
    tkInteger = 1,
    tkChar = 2,
    tkEnumeration = 3,  // Boolean included
    tkFloat = 4,
    tkString = 5,       // short string
    tkSet = 6,
    tkClass = 7,
    tkMethod = 8,
    tkWChar = 9,
    tkLString = 10,
    tkWString = 11,
    tkVariant = 12,
};
// A set of kinds: bit k stands for kind k.
using TTypeKinds = uint32_t;
constexpr TTypeKinds KindBit(TTypeKind k) { return TTypeKinds(1) << k; }
constexpr TTypeKinds tkAny = 0xFFFFFFFFu;
constexpr TTypeKinds tkOrdinals =
    KindBit(tkInteger) | KindBit(tkChar) | KindBit(tkEnumeration) | KindBit(tkSet) | KindBit(tkWChar);
constexpr TTypeKinds tkStrings = KindBit(tkString) | KindBit(tkLString) | KindBit(tkWString);

// The names of an enumeration's values (ordinal = index) or of a set's elements (bit = index).
struct TEnumInfo {
    std::string TypeName;
    std::vector<std::string> Names;
    // Index of `name` (ignoring case, letters a-z only), -1 when none.
    int IndexOf(const std::string& name) const;
};
extern const TEnumInfo BooleanInfo;  // False, True

// Identifiers that stand for integer values of one type (colours, character sets).
struct TIntIdent {
    int32_t Value;
    const char* Name;
};
struct TIntIdentMap {
    std::string TypeName;
    std::vector<TIntIdent> Idents;
    bool ToInt(const std::string& ident, int32_t& value) const;
    bool ToIdent(int32_t value, std::string& ident) const;
};

// A published method: name, signature and a type-erased invoker
// (std::function<void(TObject* self, Args...)>).
struct TMethodInfo {
    std::string Name;
    std::type_index Signature;
    std::any Invoker;
};

// A method bound to an object: what an event property holds after a form description has been
// read (Data = the form, Info = the handler's descriptor).
struct TMethod {
    TObject* Data = nullptr;
    const TMethodInfo* Info = nullptr;
    explicit operator bool() const { return Info != nullptr; }
    const std::string& Name() const;
};

// An event property value: a handler bound by name (TMethod) or assigned in code.
template <class... A>
class TEvent {
public:
    TEvent() = default;
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TEvent> &&
                                              std::is_invocable_v<F&, A...>>>
    TEvent(F f) : fn_(std::move(f)) {}

    explicit operator bool() const { return static_cast<bool>(fn_); }
    void operator()(A... a) const {
        if (fn_) fn_(a...);
    }
    const TMethod& Method() const { return method_; }
    // Binds a published method; raises EPropertyError when its signature does not fit.
    void Bind(const TMethod& m) {
        if (!m.Info) {
            fn_ = nullptr;
            method_ = TMethod();
            return;
        }
        if (m.Info->Signature != std::type_index(typeid(void(A...))))
            throw EPropertyError(rtl::FormatResString(&rtl::SIncompatibleMethod, m.Info->Name.c_str()));
        auto* inv = std::any_cast<std::function<void(TObject*, A...)>>(&m.Info->Invoker);
        TObject* data = m.Data;
        fn_ = [inv, data](A... a) { (*inv)(data, a...); };
        method_ = m;
    }
    static std::type_index Signature() { return std::type_index(typeid(void(A...))); }

private:
    std::function<void(A...)> fn_;
    TMethod method_;
};

using TNotifyEvent = TEvent<TObject*>;

// One published property: its name, kind, access and typed accessors. Ordinal kinds (integer,
// char, wide char, enumeration, set as a bit mask) go through GetOrd/SetOrd; strings through
// GetStr/SetStr; objects through GetObj/SetObj; methods through GetMethod/SetMethod.
class TPropInfo {
public:
    std::string Name;
    TTypeKind Kind = tkUnknown;
    std::string TypeName;
    const TEnumInfo* Enum = nullptr;        // enumerations and sets
    const TIntIdentMap* Idents = nullptr;   // integers with identifiers
    const TClassInfo& (*PropClass)() = nullptr;  // class kind: the declared class
    std::type_index EventSignature = typeid(void);  // method kind
    bool HasDefault = false;
    int64_t Default = 0;  // ordinal default; a value equal to it is not stored
    bool Hidden = false;  // takes an inherited property out of the class's published list

    std::function<int64_t(const TObject&)> GetOrd;
    std::function<void(TObject&, int64_t)> SetOrd;
    std::function<std::string(const TObject&)> GetStr;
    std::function<void(TObject&, const std::string&)> SetStr;
    std::function<double(const TObject&)> GetFloat;
    std::function<void(TObject&, double)> SetFloat;
    std::function<TObject*(const TObject&)> GetObj;
    std::function<void(TObject&, TObject*)> SetObj;
    std::function<TMethod(const TObject&)> GetMethod;
    std::function<void(TObject&, const TMethod&)> SetMethod;
    std::function<bool(const TObject&)> StoredFn;  // none: stored

    bool Readable() const;
    bool Writable() const;
    bool IsStored(const TObject& o) const { return !StoredFn || StoredFn(o); }
    // Sets the ordinal default (chainable from the class builder).
    TPropInfo& DefaultValue(int64_t v) {
        HasDefault = true;
        Default = v;
        return *this;
    }
    TPropInfo& Stored(std::function<bool(const TObject&)> f) {
        StoredFn = std::move(f);
        return *this;
    }
};

// The description of one class.
class TClassInfo {
public:
    using ComponentFactory = TComponent* (*)(TComponent* owner);
    using ItemFactory = TCollectionItem* (*)(TCollection* collection);

    TClassInfo(const char* name, const TClassInfo* parent, ComponentFactory cf, ItemFactory itf);
    TClassInfo(const TClassInfo&) = delete;
    TClassInfo& operator=(const TClassInfo&) = delete;

    const std::string& Name() const { return name_; }
    const TClassInfo* Parent() const { return parent_; }
    // True when this class is `c` or derives from it.
    bool InheritsFrom(const TClassInfo& c) const;
    // The same by class name (ignoring case, letters a-z only).
    bool InheritsFrom(const std::string& name) const;

    // Published properties, ancestors' first, each name once with its most derived
    // descriptor at the place of its first declaration; without those a class hides.
    const std::vector<const TPropInfo*>& Properties() const;
    // The same, only those whose kind is in `kinds`.
    std::vector<const TPropInfo*> Properties(TTypeKinds kinds) const;
    // Property by name (ignoring case), nullptr when none.
    const TPropInfo* FindProperty(const std::string& name) const;
    // Published method of this class or an ancestor (ignoring case), nullptr when none.
    const TMethodInfo* FindMethod(const std::string& name) const;

    bool IsComponentClass() const { return componentFactory_ != nullptr; }
    // Creates a component of this class; EClassNotFound when the class cannot be created.
    TComponent* CreateComponent(TComponent* owner) const;
    TCollectionItem* CreateItem(TCollection* collection) const;

    // Declaration order of this class's own members (for the class builder).
    std::deque<TPropInfo>& OwnProperties() { return own_; }
    std::deque<TMethodInfo>& OwnMethods() { return methods_; }

private:
    std::string name_;
    const TClassInfo* parent_;
    ComponentFactory componentFactory_;
    ItemFactory itemFactory_;
    std::deque<TPropInfo> own_;
    std::deque<TMethodInfo> methods_;
    mutable bool built_ = false;
    mutable std::vector<const TPropInfo*> all_;
};

// Class registry: classes that form descriptions may create by name.
void RegisterComponentClass(const TClassInfo& c);
// nullptr when not registered (name ignoring case).
const TClassInfo* GetClass(const std::string& name);
// Raises EClassNotFound "Class %s not found".
const TClassInfo& FindClass(const std::string& name);

// The root class.
class TObject {
public:
    virtual ~TObject();
    static const TClassInfo& StaticClass();
    virtual const TClassInfo* ClassInfo() const { return &StaticClass(); }
    const std::string& ClassName() const { return ClassInfo()->Name(); }
    bool InheritsFrom(const TClassInfo& c) const { return ClassInfo()->InheritsFrom(c); }
    bool InheritsFrom(const std::string& name) const { return ClassInfo()->InheritsFrom(name); }
    // Published method of this object's class by name; nullptr when none.
    const TMethodInfo* MethodAddress(const std::string& name) const {
        return ClassInfo()->FindMethod(name);
    }
};

template <class T>
class TClassBuilder;

// Declares class identity inside a class body; the .cpp defines DescribeClass and uses
// KXC_IMPLEMENT_CLASS(Name).
#define KXC_CLASS(Name, Base)                                                  \
public:                                                                        \
    using inherited = Base;                                                    \
    static const ::kxc::TClassInfo& StaticClass();                             \
    const ::kxc::TClassInfo* ClassInfo() const override { return &StaticClass(); } \
    static void DescribeClass(::kxc::TClassBuilder<Name>& c);                  \
                                                                               \
private:

namespace detail {
template <class T>
TComponent* CreateComponentOf(TComponent* owner);
template <class T>
TCollectionItem* CreateItemOf(TCollection* collection);
template <class T>
constexpr TClassInfo::ComponentFactory ComponentFactoryOf() {
    if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                  std::is_constructible_v<T, TComponent*>)
        return &CreateComponentOf<T>;
    else
        return nullptr;
}
template <class T>
constexpr TClassInfo::ItemFactory ItemFactoryOf() {
    if constexpr (std::is_base_of_v<TCollectionItem, T> && !std::is_abstract_v<T> &&
                  std::is_constructible_v<T, TCollection*>)
        return &CreateItemOf<T>;
    else
        return nullptr;
}
template <class S, class O, class V>
void ApplySet(const S& set, O& obj, V&& v) {
    if constexpr (std::is_member_object_pointer_v<S>)
        obj.*set = std::forward<V>(v);
    else
        std::invoke(set, obj, std::forward<V>(v));
}
}  // namespace detail

#define KXC_IMPLEMENT_CLASS(Name)                                                    \
    const ::kxc::TClassInfo& Name::StaticClass() {                                   \
        static ::kxc::TClassInfo info(#Name, &Name::inherited::StaticClass(),        \
                                      ::kxc::detail::ComponentFactoryOf<Name>(),     \
                                      ::kxc::detail::ItemFactoryOf<Name>());         \
        static bool described = false;                                               \
        if (!described) {                                                            \
            described = true;                                                        \
            ::kxc::TClassBuilder<Name> builder(info);                                \
            Name::DescribeClass(builder);                                            \
        }                                                                            \
        return info;                                                                 \
    }

// Lists a class's published members in declaration order. Getters and setters are member
// functions or data members of T; pass nullptr for a missing accessor.
template <class T>
class TClassBuilder {
public:
    explicit TClassBuilder(TClassInfo& info) : info_(info) {}

    template <class G, class S>
    TPropInfo& Str(const char* name, G get, S set, TTypeKind kind = tkLString) {
        TPropInfo& p = Add(name, kind, kind == tkString ? "ShortString" : "string");
        if constexpr (!std::is_null_pointer_v<G>)
            p.GetStr = [get](const TObject& o) {
                return std::string(std::invoke(get, static_cast<const T&>(o)));
            };
        if constexpr (!std::is_null_pointer_v<S>)
            p.SetStr = [set](TObject& o, const std::string& v) {
                detail::ApplySet(set, static_cast<T&>(o), v);
            };
        return p;
    }
    template <class G, class S>
    TPropInfo& Int(const char* name, G get, S set, const TIntIdentMap* idents = nullptr) {
        TPropInfo& p = Add(name, tkInteger, idents ? idents->TypeName : "Integer");
        p.Idents = idents;
        Ordinal<int32_t>(p, get, set);
        return p;
    }
    template <class G, class S>
    TPropInfo& Char(const char* name, G get, S set) {
        TPropInfo& p = Add(name, tkChar, "Char");
        Ordinal<char>(p, get, set);
        return p;
    }
    template <class G, class S>
    TPropInfo& Bool(const char* name, G get, S set) {
        TPropInfo& p = Add(name, tkEnumeration, "Boolean");
        p.Enum = &BooleanInfo;
        Ordinal<bool>(p, get, set);
        return p;
    }
    template <class E, class G, class S>
    TPropInfo& Enum(const char* name, G get, S set, const TEnumInfo& info) {
        TPropInfo& p = Add(name, tkEnumeration, info.TypeName);
        p.Enum = &info;
        Ordinal<E>(p, get, set);
        return p;
    }
    // A set held as a bit mask (bit n = element n of `info`).
    template <class G, class S>
    TPropInfo& Set(const char* name, G get, S set, const TEnumInfo& info) {
        TPropInfo& p = Add(name, tkSet, info.TypeName);
        p.Enum = &info;
        Ordinal<uint32_t>(p, get, set);
        return p;
    }
    template <class G, class S>
    TPropInfo& Float(const char* name, G get, S set) {
        TPropInfo& p = Add(name, tkFloat, "Double");
        if constexpr (!std::is_null_pointer_v<G>)
            p.GetFloat = [get](const TObject& o) {
                return double(std::invoke(get, static_cast<const T&>(o)));
            };
        if constexpr (!std::is_null_pointer_v<S>)
            p.SetFloat = [set](TObject& o, double v) { detail::ApplySet(set, static_cast<T&>(o), v); };
        return p;
    }
    // A class-kind property of declared class C (a sub-object or a component reference).
    template <class C, class G, class S>
    TPropInfo& Object(const char* name, G get, S set) {
        TPropInfo& p = Add(name, tkClass, "");
        p.PropClass = &C::StaticClass;
        p.TypeName = C::StaticClass().Name();
        if constexpr (!std::is_null_pointer_v<G>)
            p.GetObj = [get](const TObject& o) -> TObject* {
                return std::invoke(get, static_cast<const T&>(o));
            };
        if constexpr (!std::is_null_pointer_v<S>)
            p.SetObj = [set](TObject& o, TObject* v) {
                C* c = v ? dynamic_cast<C*>(v) : nullptr;
                if (v && !c) throw EPropertyError(rtl::LoadResString(&rtl::SInvalidPropertyValue));
                detail::ApplySet(set, static_cast<T&>(o), c);
            };
        return p;
    }
    // An event property held in a TEvent data member.
    template <class... A>
    TPropInfo& Event(const char* name, TEvent<A...> T::*field, const char* typeName = "TNotifyEvent") {
        TPropInfo& p = Add(name, tkMethod, typeName);
        p.EventSignature = TEvent<A...>::Signature();
        p.GetMethod = [field](const TObject& o) { return (static_cast<const T&>(o).*field).Method(); };
        p.SetMethod = [field](TObject& o, const TMethod& m) { (static_cast<T&>(o).*field).Bind(m); };
        return p;
    }
    // An ancestor's property that this class does not publish (its descendants may again).
    void Hide(const char* name) { Add(name, tkUnknown, "").Hidden = true; }
    // A published method, reachable by name from form descriptions.
    template <class... A>
    void Method(const char* name, void (T::*pm)(A...)) {
        std::function<void(TObject*, A...)> inv = [pm](TObject* self, A... a) {
            (static_cast<T*>(self)->*pm)(a...);
        };
        info_.OwnMethods().push_back(TMethodInfo{name, std::type_index(typeid(void(A...))), inv});
    }

private:
    TPropInfo& Add(const char* name, TTypeKind kind, std::string typeName) {
        info_.OwnProperties().emplace_back();
        TPropInfo& p = info_.OwnProperties().back();
        p.Name = name;
        p.Kind = kind;
        p.TypeName = std::move(typeName);
        return p;
    }
    template <class V, class G, class S>
    void Ordinal(TPropInfo& p, G get, S set) {
        if constexpr (!std::is_null_pointer_v<G>)
            p.GetOrd = [get](const TObject& o) {
                return int64_t(std::invoke(get, static_cast<const T&>(o)));
            };
        if constexpr (!std::is_null_pointer_v<S>)
            p.SetOrd = [set](TObject& o, int64_t v) {
                detail::ApplySet(set, static_cast<T&>(o), static_cast<V>(v));
            };
    }
    TClassInfo& info_;
};

// ---- Property access by descriptor or by name ("Font.Name" reaches sub-objects) ----

// The descriptor of a published property of obj's class; nullptr when none.
const TPropInfo* GetPropInfo(const TObject* obj, const std::string& name);
// Resolves a dotted path to the object that holds the last property and its descriptor;
// false when a step is missing or an intermediate value is not an object.
bool FindPropPath(TObject* obj, const std::string& path, TObject*& target, const TPropInfo*& prop);
// Published properties of obj's class of the given kinds, in list order.
std::vector<const TPropInfo*> GetPropList(const TObject* obj, TTypeKinds kinds = tkAny);

int64_t GetOrdProp(const TObject* obj, const TPropInfo* p);
void SetOrdProp(TObject* obj, const TPropInfo* p, int64_t v);
std::string GetStrProp(const TObject* obj, const TPropInfo* p);  // string kinds and chars
void SetStrProp(TObject* obj, const TPropInfo* p, const std::string& v);
double GetFloatProp(const TObject* obj, const TPropInfo* p);
void SetFloatProp(TObject* obj, const TPropInfo* p, double v);
std::string GetEnumProp(const TObject* obj, const TPropInfo* p);  // value name
void SetEnumProp(TObject* obj, const TPropInfo* p, const std::string& name);
std::string GetSetProp(const TObject* obj, const TPropInfo* p);  // "[a,b]"
void SetSetProp(TObject* obj, const TPropInfo* p, const std::string& text);  // "[a, b]" or "a,b"
TObject* GetObjectProp(const TObject* obj, const TPropInfo* p);
void SetObjectProp(TObject* obj, const TPropInfo* p, TObject* v);
TMethod GetMethodProp(const TObject* obj, const TPropInfo* p);
void SetMethodProp(TObject* obj, const TPropInfo* p, const TMethod& m);

// By name or dotted path; EPropertyError "Property %s does not exist" when not found.
int64_t GetOrdProp(TObject* obj, const std::string& path);
void SetOrdProp(TObject* obj, const std::string& path, int64_t v);
std::string GetStrProp(TObject* obj, const std::string& path);
void SetStrProp(TObject* obj, const std::string& path, const std::string& v);
std::string GetEnumProp(TObject* obj, const std::string& path);
void SetEnumProp(TObject* obj, const std::string& path, const std::string& name);
std::string GetSetProp(TObject* obj, const std::string& path);
void SetSetProp(TObject* obj, const std::string& path, const std::string& text);
TObject* GetObjectProp(TObject* obj, const std::string& path);
void SetObjectProp(TObject* obj, const std::string& path, TObject* v);

// ---- Persistent objects ----

class TPersistent : public TObject {
    KXC_CLASS(TPersistent, TObject)
public:
    // Copies source into this object; rtl::EConvertError "Cannot assign a %s to a %s" when
    // neither side knows the other's class.
    virtual void Assign(const TPersistent* source);
    // Names the properties that the form streaming stores besides the published ones.
    virtual void DefineProperties(TFiler& filer);
    virtual TPersistent* GetOwner() const { return nullptr; }

protected:
    virtual void AssignTo(TPersistent* dest) const;
};

// ---- Components ----

enum TComponentStateFlag : uint32_t {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3,
    csDesigning = 1u << 4,
    csAncestor = 1u << 5,
    csUpdating = 1u << 6,
    csFixups = 1u << 7,
    csFreeNotification = 1u << 8,
    csInline = 1u << 9,
};
using TComponentState = uint32_t;

// What a component's class says of it.
enum TComponentStyleFlag : uint32_t {
    csInheritable = 1u << 0,     // may stand in a form that others inherit (every component)
    csCheckPropAvail = 1u << 1,  // a wrapped ActiveX (OCX) control: its properties may be missing
};
using TComponentStyle = uint32_t;

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
    KXC_CLASS(TComponent, TPersistent)
public:
    // Joins owner's components (taking its designing state); the owner is told of it by
    // AfterConstruction.
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    // Tells the owner of the insertion, once; call it when the most derived constructor has
    // run. Overrides call the inherited one. When a listener raises, the caller frees the
    // component (Create<T> and the class factory do).
    virtual void AfterConstruction();

    // Runs BeforeDestruction (csDestroying, OnDestroy of forms) and deletes the object;
    // a null `this` is not allowed, use FreeAndNil-style code at the caller.
    void Free();

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // EComponentError when the name is not an identifier or another component of the same
    // owner has it already (ignoring case).
    virtual void SetName(const std::string& name);
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t v) { tag_ = v; }

    int ComponentCount() const { return int(components_.size()); }
    TComponent* Components(int index) const;
    int ComponentIndex() const;
    // Owned component by name (ignoring case); nullptr when none.
    TComponent* FindComponent(const std::string& name) const;
    // Takes c from its owner (if any); c becomes designing when this component is, and this
    // component hears of it at once (a component still being built: at AfterConstruction).
    void InsertComponent(TComponent* c);
    void RemoveComponent(TComponent* c);
    // Frees every owned component (last first); survives components freeing their siblings.
    void DestroyComponents();

    TComponentState ComponentState() const { return state_; }
    bool Loading() const { return (state_ & csLoading) != 0; }
    bool Reading() const { return (state_ & csReading) != 0; }
    bool Designing() const { return (state_ & csDesigning) != 0; }
    bool Destroying() const { return (state_ & csDestroying) != 0; }
    // As a form designer does on its root: this component and (children) all it owns.
    void SetDesigning(bool on, bool children = true);
    TComponentStyle ComponentStyle() const { return style_; }
    // Form loading marks and clears the loading and reading states.
    void SetComponentState(TComponentState set, TComponentState clear) {
        state_ = (state_ | set) & ~clear;
    }

    // Asks for Notification(this, opRemove) on `c` when this component is freed, and the
    // reverse: each side forgets the other when one of them goes.
    void FreeNotification(TComponent* c);
    void RemoveFreeNotification(TComponent* c);

    // Called once the whole form description holding the component has been read.
    virtual void Loaded();
    // Insert: the owner hears of a component it gains. Remove: the owner, every component it
    // owns and every free-notification partner hear of a component that goes.
    virtual void Notification(TComponent* c, TOperation op);

    // The parent in the stored tree (controls: their parent control); none by default.
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* parent) {}
    virtual bool HasParent() const { return false; }
    // Calls proc for every component stored inside this one in a form description.
    virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);

    TPersistent* GetOwner() const override { return owner_; }

protected:
    virtual void BeforeDestruction();
    // Classes set their style flags in their constructors.
    void SetComponentStyle(TComponentStyle s) { style_ = s; }

private:
    void Insert(TComponent* c);
    void Remove(TComponent* c);

    TComponent* owner_ = nullptr;
    std::string name_;
    int32_t tag_ = 0;
    TComponentState state_ = 0;
    TComponentStyle style_ = csInheritable;
    bool insertPending_ = false;  // joined the owner in the constructor, not yet announced
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
};

// True when `s` is a valid identifier (letter or "_" first, then letters, digits, "_").
bool IsValidIdent(const std::string& s);

// Makes a component and announces it to its owner (AfterConstruction); when the announcement
// raises, the component is freed again and the exception passes on.
template <class T, class... A>
T* Create(A&&... args) {
    T* c = new T(std::forward<A>(args)...);
    try {
        c->AfterConstruction();
    } catch (...) {
        c->Free();
        throw;
    }
    return c;
}

namespace detail {
template <class T>
TComponent* CreateComponentOf(TComponent* owner) {
    return Create<T>(owner);
}
template <class T>
TCollectionItem* CreateItemOf(TCollection* collection) {
    return new T(collection);
}
}  // namespace detail

// ---- String lists ----

class TStrings : public TPersistent {
    KXC_CLASS(TStrings, TPersistent)
public:
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& s);
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const std::string& s);
    std::string Strings(int index) const { return Get(index); }
    int IndexOf(const std::string& s) const;  // ignoring case, -1 when none
    // Lines joined with CR LF after each; setting splits at CR, LF or CR LF.
    std::string Text() const;
    void SetText(const std::string& text);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }
    TNotifyEvent OnChange;

    void Assign(const TPersistent* source) override;
    void DefineProperties(TFiler& filer) override;  // "Strings": a list of strings

protected:
    virtual void Changed();
    virtual void SetUpdateState(bool updating) {}

private:
    int updateCount_ = 0;
};

class TStringList : public TStrings {
    KXC_CLASS(TStringList, TStrings)
public:
    int Count() const override { return int(items_.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const std::string& s) override;  // sorted lists insert in order
    bool Sorted() const { return sorted_; }
    void SetSorted(bool v);
    void Sort();

protected:
    void Changed() override;
    void SetUpdateState(bool updating) override;

private:
    void CheckIndex(int index, bool allowEnd) const;
    std::vector<std::string> items_;
    bool sorted_ = false;
    bool changedWhileUpdating_ = false;
};

// ---- Collections ----

class TCollectionItem : public TPersistent {
    KXC_CLASS(TCollectionItem, TPersistent)
public:
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;
    TCollection* Collection() const { return collection_; }
    int Index() const;
    void SetIndex(int index);
    int ID() const { return id_; }
    TPersistent* GetOwner() const override;

private:
    friend class TCollection;
    TCollection* collection_ = nullptr;
    int id_ = 0;
};

class TCollection : public TPersistent {
    KXC_CLASS(TCollection, TPersistent)
public:
    explicit TCollection(const TClassInfo& itemClass, TPersistent* owner = nullptr);
    ~TCollection() override;
    const TClassInfo& ItemClass() const { return itemClass_; }
    int Count() const { return int(items_.size()); }
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    void Delete(int index);
    void Clear();
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void Assign(const TPersistent* source) override;
    TPersistent* GetOwner() const override { return owner_; }
    TNotifyEvent OnChange;

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    void Changed();
    const TClassInfo& itemClass_;
    TPersistent* owner_;
    std::vector<TCollectionItem*> items_;
    int nextId_ = 0;
    int updateCount_ = 0;
};

}  // namespace kxc
