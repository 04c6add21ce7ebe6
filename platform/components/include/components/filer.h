// The form streaming: the typed value encoding of stored form descriptions ("TPF0"), the
// reader and writer of those values, and the loading and storing of component trees.
//
// A stored form description is "TPF0" followed by the root component. A component is a prefix
// (absent, or one byte 0xF0 | flags followed by an integer child position when ffChildPos is
// set), the class name and the component name as length-byte strings, its properties (name as
// a length-byte string, then a value) up to an end-of-list value, then its children in the same
// shape up to an end-of-list value. Values: see TValueType (numbers little-endian, signed).
//
// Raises: rtl::EFilerError "Invalid stream format" (bad signature), rtl::EReadError "Invalid
// property value" (a value of the wrong type where a type is expected, unknown identifiers),
// rtl::EReadError "Stream read error" (data ends early), rtl::EReadError "Property %s does not
// exist", EClassNotFound "Class %s not found", rtl::EResNotFound "Resource %s not found".
// A failed load frees every component it created and calls no Loaded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/classes.h"
#include "components/streams.h"

namespace kxc {

enum TValueType : uint8_t {
    vaNull = 0,        // end of list
    vaList = 1,        // values up to an end of list
    vaInt8 = 2,        // 1 byte
    vaInt16 = 3,       // 2 bytes
    vaInt32 = 4,       // 4 bytes
    vaExtended = 5,    // 10-byte extended float
    vaString = 6,      // length byte, bytes
    vaIdent = 7,       // as vaString
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,     // 32-bit length, bytes
    vaSet = 11,        // names (length byte, bytes) up to an empty name
    vaLString = 12,    // 32-bit length, bytes
    vaNil = 13,
    vaCollection = 14, // items: [order integer] vaList, properties, end of list; end of list
    vaSingle = 15,     // 4 bytes
    vaCurrency = 16,   // 8 bytes (integer, units of 1/10000)
    vaDate = 17,       // 8-byte double
    vaWString = 18,    // 32-bit count, UTF-16 units
    vaInt64 = 19,      // 8 bytes
};
constexpr uint8_t vaLast = vaInt64;

// Component prefix flags.
enum TFilerFlag : uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;
using TStreamProc = std::function<void(TStream&)>;

// What TPersistent::DefineProperties talks to: the reader offers the property it is at, the
// writer asks every defined property whether it has data.
class TFiler {
public:
    virtual ~TFiler();
    virtual void DefineProperty(const std::string& name, const TReaderProc& read,
                                const TWriterProc& write, bool hasData) = 0;
    virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& read,
                                      const TStreamProc& write, bool hasData) = 0;
    // The component tree being read or written, and the object the writer compares against
    // (nullptr without an ancestor): for the root the ancestor given to WriteDescendent, for
    // an owned component its namesake there, for a sub-object that one's same property.
    TComponent* Root() const { return root_; }
    TPersistent* Ancestor() const { return ancestor_; }
    void SetRoot(TComponent* r) { root_ = r; }
    void SetAncestor(TPersistent* a) { ancestor_ = a; }

protected:
    TComponent* root_ = nullptr;
    TPersistent* ancestor_ = nullptr;
};

class TReader : public TFiler {
public:
    // Reads from `stream` (not owned) through a buffer of bufSize bytes.
    explicit TReader(TStream& stream, int32_t bufSize = 4096);
    ~TReader() override;

    void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, const TStreamProc& read,
                              const TStreamProc& write, bool hasData) override;

    // Raw bytes; EReadError "Stream read error" when the data ends early.
    void Read(void* buf, int32_t count);
    // Byte offset of the next value from the reader's start.
    int64_t Position() const { return consumed_; }

    TValueType ReadValue();
    TValueType NextValue();
    bool EndOfList() { return NextValue() == vaNull; }
    void CheckValue(TValueType v);  // reads a type byte; EReadError unless it is v

    void ReadSignature();            // "TPF0" or EFilerError "Invalid stream format"
    void ReadPrefix(uint8_t& flags, int32_t& childPos);
    std::string ReadStr();           // a length-byte string without a type byte
    void ReadListBegin() { CheckValue(vaList); }
    void ReadListEnd() { CheckValue(vaNull); }
    int32_t ReadInteger();           // vaInt8/16/32
    int64_t ReadInt64();             // vaInt8/16/32/64
    bool ReadBoolean();              // vaTrue/vaFalse
    char ReadChar();                 // a one-byte string
    std::string ReadString();        // vaString, vaLString, vaWString (as 8-bit text)
    std::u16string ReadWideString(); // the same kinds as UTF-16
    std::string ReadIdent();         // vaIdent; vaFalse, vaTrue, vaNil, vaNull by their names
    double ReadFloat();              // vaExtended (also integers)
    float ReadSingle();
    double ReadCurrency();
    double ReadDate();
    uint32_t ReadSet(const TEnumInfo& info);  // element names into a mask
    std::string ReadBinary();        // vaBinary data
    void ReadCollection(TCollection* c);  // after its vaCollection type byte
    // Passes over one value of any type (nested ones included). A type byte above vaLast is
    // given to `onUnknown` first (it may raise an error of its own), then "Invalid property
    // value" is raised.
    using TUnknownValueProc = void (*)(uint8_t valueType);
    void SkipValue(TUnknownValueProc onUnknown = nullptr);

    // Reads a whole stored description into `root` (which exists: the root is not created):
    // properties, children created by class name with root as owner, references and event
    // bindings resolved, then Loaded on every component in creation order.
    void ReadRootComponent(TComponent* root);

    // The owner of the components that the reader creates (the root by default).
    void SetOwner(TComponent* owner) { owner_ = owner; }

private:
    struct Fixup {
        TObject* instance;
        const TPropInfo* prop;
        std::string name;
    };
    uint8_t ReadByte();
    void Fill();
    void ReadProperty(TPersistent* instance);
    void ReadPropValue(TPersistent* instance, const TPropInfo* p);
    TComponent* ReadComponent(TComponent* parent);
    void ReadComponentBody(TComponent* c);
    void ResolveFixups();

    TStream& stream_;
    std::vector<char> buf_;
    int32_t bufPos_ = 0;
    int32_t bufEnd_ = 0;
    int64_t consumed_ = 0;
    TComponent* owner_ = nullptr;
    std::string propName_;     // the defined property the reader is at
    bool propFound_ = false;
    std::vector<Fixup> fixups_;
    std::vector<TComponent*> created_;
    std::vector<TComponent*> loaded_;
};

class TWriter : public TFiler {
public:
    explicit TWriter(TStream& stream);
    ~TWriter() override;

    void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, const TStreamProc& read,
                              const TStreamProc& write, bool hasData) override;

    void Write(const void* buf, int32_t count);
    void WriteValue(TValueType v);
    void WriteSignature();
    void WritePrefix(uint8_t flags, int32_t childPos);
    void WriteStr(const std::string& s);  // length byte (at most 255 bytes kept)
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }
    void WriteInteger(int64_t v);          // smallest of vaInt8/16/32, else vaInt64
    void WriteBoolean(bool v);
    void WriteChar(char c);
    void WriteString(const std::string& s);  // vaString up to 255 bytes, else vaLString
    void WriteWideString(const std::u16string& s);
    void WriteIdent(const std::string& s);   // False, True, nil, Null get their own types
    void WriteFloat(double v);               // vaExtended
    void WriteSingle(float v);
    void WriteCurrency(double v);
    void WriteDate(double v);
    void WriteSet(uint32_t mask, const TEnumInfo& info);
    void WriteBinary(const std::string& bytes);
    void WriteCollection(const TCollection* c);

    // Writes "TPF0" and the tree of root: its stored properties, then its children; ancestor
    // (another instance of root's form, or none) is what Ancestor offers while they are written.
    void WriteDescendent(TComponent* root, TComponent* ancestor = nullptr);
    void WriteComponent(TComponent* c);

private:
    void WriteProperties(TPersistent* instance, const std::string& prefix);
    void WriteProperty(TPersistent* instance, const TPropInfo* p, const std::string& prefix);
    TStream& stream_;
    std::string prefix_;  // dotted prefix for defined properties of sub-objects
    TComponent* rootAncestor_ = nullptr;
};

// Reads the RCDATA resource named by root's class name into root (ReadRootComponent).
void ReadComponentRes(TComponent* root, void* instance = nullptr);
// Reads a description from memory into root.
void ReadComponentFromBytes(TComponent* root, const std::string& bytes);
// The stored description of root's tree.
std::string WriteComponentToBytes(TComponent* root);

// 10-byte extended float conversion (little-endian).
void DoubleToExtended(double v, unsigned char out[10]);
double ExtendedToDouble(const unsigned char in[10]);

}  // namespace kxc
