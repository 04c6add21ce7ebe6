// Unit QxAMulti: the two intermediate dictionary classes.
//
// TQxCustomDictionary keeps the translations of the language in use as a sorted list of
// TQxTranslation entries, answers the dictionary's lookups from it by binary search and
// refills it (LoadTranslations, supplied by a derived class) on every language change.
// TQxCustomFileDictionary adds where the data come from: FileName and Storage, with the rule
// that finds a dictionary file beside the program when it is not in the current folder.
//
// Keys compare ordinally (unsigned bytes, case-sensitive, a proper prefix first). The list is
// sorted by Native while HasContexts is False and by GetKey() while it is True; the loader
// sets HasContexts before it sorts, so a lookup always uses the rule the list was sorted by.
//
// Raises: the lookups never raise (-1 / False when absent); rtl::EListError "List index out of
// bounds (%d)" from GetTranslation outside the list; rtl::EAbstractError from LoadTranslations
// of a class that does not supply it; whatever LoadTranslations raises passes out of
// UpdateLocaleVariables before the change notification. ResolveFileName, GetFileName and
// IsAvailable never raise.
// Ownership: the dictionary owns every entry of its list and frees what it removes.
// GUI thread only, no locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qx/QxDictio.h"
#include "qx/QxDictionary.h"

namespace qx {

class TQxCustomDictionary : public TQxDictionary {
    KXC_CLASS(TQxCustomDictionary, TQxDictionary)
public:
    explicit TQxCustomDictionary(kxc::TComponent* owner);
    ~TQxCustomDictionary() override;

    // Frees every entry; the list is empty afterwards.
    void ClearTranslations();
    // The entry at a list position (owned by the dictionary).
    TQxTranslation* GetTranslation(int32_t index) const;
    // List index of an entry with that native text (whatever its contexts when HasContexts);
    // -1 when none. Of several such entries, the one the search meets first.
    int32_t IndexOfNative(const std::string& native) const;
    // List index of the entry with that native text and contexts; the contexts are ignored
    // while HasContexts is False. -1 when none.
    int32_t IndexOfContext(const std::string& native, const std::string& contextA,
                           const std::string& contextB) const;
    // Sorts the list by Native or by GetKey(), as HasContexts says.
    void SortTranslations();

    // The number of entries of the loaded list.
    int32_t GetTranslationCount() override;
    // Reloads the translations first when the language changed, then notifies.
    void UpdateLocaleVariables(bool languageChanged, bool localeChanged) override;
    bool FindContextTranslation(const std::string& native, const std::string& contextA,
                                const std::string& contextB, std::string& translation) override;
    bool FindTranslation(const std::string& native, std::string& translation) override;
    // Fills the list for the language in use and sorts it (seam of the concrete dictionary).
    virtual void LoadTranslations();

protected:
    // Appends an entry to the list (loaders; the list takes it).
    void AddTranslation(std::unique_ptr<TQxTranslation> entry);
    int32_t LoadedCount() const { return static_cast<int32_t>(list_.size()); }

private:
    std::vector<std::unique_ptr<TQxTranslation>> list_;
};

// Where a file dictionary's data are: the file FileName, the form description of the form
// that owns the dictionary, or a resource of the program.
enum TQxStorage : uint8_t { qxsFile, qxsEmbedded, qxsResource };
extern const kxc::TEnumInfo QxStorageInfo;

class TQxCustomFileDictionary : public TQxCustomDictionary {
    KXC_CLASS(TQxCustomFileDictionary, TQxCustomDictionary)
public:
    explicit TQxCustomFileDictionary(kxc::TComponent* owner);

    // Designing: the stored text. At run time the stored text becomes ResolveFileName of
    // itself, so once the file has been found later reads start from its full path.
    std::string GetFileName() const;
    void SetFileName(const std::string& v) { fileName_ = v; }
    // The stored text as it is.
    const std::string& StoredFileName() const { return fileName_; }
    TQxStorage Storage() const { return storage_; }
    // Only while designing and not while the form loads, an information box tells what
    // embedded or resource storage means for the developer.
    void SetStorage(TQxStorage value);

    // File storage only: the full path of `name` under the current folder when that file
    // exists. Otherwise, for a name without "\" and ":", the program's folder followed by
    // `name` when that file exists; else `name` unchanged.
    std::string ResolveFileName(const std::string& name) const;
    // Embedded and resource storage: True. File storage: FileName names an existing file.
    bool IsAvailable() override;

private:
    mutable std::string fileName_;
    TQxStorage storage_ = qxsFile;
};

// The full path of `name` taken relative to the current folder.
std::string ExpandFileName(const std::string& name);
// True when `path` names an existing file (not a folder).
bool FileExists(const std::string& path);
// The folder of the program file, with its trailing separator.
std::string ProgramFolder();
// The size and last-write time of a file as one text: equal texts mean unchanged contents.
// Empty when the file cannot be examined or was written in the last two seconds, since a
// second change within the same tick of the file system's clock would leave the same text.
std::string FileStamp(const std::string& path);

}  // namespace qx
