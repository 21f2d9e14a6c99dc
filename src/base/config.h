#pragma once
// The hierarchical key/value configuration store.
//
// Paths are '/'-separated components of 1..255 UTF-8 bytes without NUL, at most 32 of
// them; an empty component (leading, trailing or doubled '/') makes the call false. The
// first component is the top-level key: each key lives in a file of its own (the layout is
// in base/configfile.h), read on the first access to the key and kept. Nothing reaches the
// disk except through Save.
//
// A getter succeeds only for a value of its own type; a setter replaces whatever value the
// path held, of any type. Strings are stored as UTF-8 (lone surrogates become U+FFFD).
#include "base/buffers.h"
#include "base/configfile.h"
#include "base/locks.h"
#include "base/texts.h"
#include "base/types.h"

#include <map>
#include <memory>
#include <string>

class cApplicationConfig
{
public:
    virtual ~cApplicationConfig() = default;

    [[nodiscard]] virtual bool GetBytes(const char* path, _typebuf<u8>& value) = 0;
    [[nodiscard]] virtual bool GetInt16(const char* path, i16& value) = 0;
    [[nodiscard]] virtual bool GetInt32(const char* path, i32& value) = 0;
    [[nodiscard]] virtual bool GetInt64(const char* path, i64& value) = 0;
    [[nodiscard]] virtual bool GetString(const char* path, _guardchar<char16_t>& text) = 0;

    virtual bool SetBytes(const char* path, const void* data, u32 size) = 0;
    virtual bool SetInt16(const char* path, i16 value) = 0;
    virtual bool SetInt32(const char* path, i32 value) = 0;
    virtual bool SetInt64(const char* path, i64 value) = 0;
    // `length` in UTF-16 units, -1 = up to the terminator; a null text stores "".
    virtual bool SetString(const char* path, const char16_t* text, i64 length = -1) = 0;

    // Writes every top-level key changed since it was loaded. False when any of them
    // could not be written; those stay changed and the next Save tries them again.
    virtual bool Save() = 0;
};

// Where the lookup of a path in one store ended.
enum eConfigLookup
{
    kConfigAbsent,    // no value at the path: a pair may look in its other store
    kConfigFound,     // a value of the asked type
    kConfigOtherType, // a value of another type: the lookup fails here
};

enum eConfigStoreKind
{
    kConfigPerUser,     // files 0600; the folder is made (0700, with parents) when missing
    kConfigMachineWide, // files 0644; the folder is never made
};

// The typed getters and setters over raw values: integers are stored little-endian,
// strings as UTF-8. Derived classes find and store the raw bytes.
class cRawValueConfig : public cApplicationConfig
{
public:
    bool GetBytes(const char* path, _typebuf<u8>& value) override;
    bool GetInt16(const char* path, i16& value) override;
    bool GetInt32(const char* path, i32& value) override;
    bool GetInt64(const char* path, i64& value) override;
    bool GetString(const char* path, _guardchar<char16_t>& text) override;
    bool SetBytes(const char* path, const void* data, u32 size) override;
    bool SetInt16(const char* path, i16 value) override;
    bool SetInt32(const char* path, i32 value) override;
    bool SetInt64(const char* path, i64 value) override;
    bool SetString(const char* path, const char16_t* text, i64 length = -1) override;

protected:
    // The raw value at `path` when it has the type `type`.
    virtual eConfigLookup LookupRaw(const char* path, eConfigValueType type, std::string& value) = 0;
    virtual bool StoreRaw(const char* path, eConfigValueType type, std::string value) = 0;

private:
    template <typename T>
    bool GetInteger(const char* path, eConfigValueType type, T& value);
    template <typename T>
    bool SetInteger(const char* path, eConfigValueType type, T value);
};

// One store: a folder of "QELC" files. Every access holds the store's own lock, so the
// GUI thread and jobs may share it.
//
// Saving a key writes a temporary file beside the old one, syncs it and renames it over
// the old one, then syncs the folder: a crash at any moment leaves the old or the new
// file, never a torn one. A file that reads as damaged is treated as empty and left as it
// is until its key is saved; that save first moves it aside to <file>.bad.
class cCIAppConfig : public cRawValueConfig
{
public:
    // `folder` is in file-name bytes. A per-user store whose folder cannot be made lives
    // in memory only, and its Save fails.
    cCIAppConfig(std::string folder, eConfigStoreKind kind);

    bool Save() override;
    // Public so that a pair can reach its stores' raw values.
    eConfigLookup LookupRaw(const char* path, eConfigValueType type, std::string& value) override;
    bool StoreRaw(const char* path, eConfigValueType type, std::string value) override;

private:
    struct sKeyState
    {
        sConfigNode m_root;
        bool m_changed = false;
        bool m_damaged = false; // the file on disk did not parse
    };

    sKeyState& LoadKey(const std::string& key);
    bool SaveKey(const std::string& key, sKeyState& state);

    cCriticalSection m_lock;
    std::string m_folder;
    eConfigStoreKind m_kind;
    bool m_folderReady;
    std::map<std::string, sKeyState> m_keys;
};

// The configuration of a running application: a per-user store and a machine-wide one.
// A read tries the per-user store, then the machine-wide one, path by path (a value of
// another type in the per-user store fails without looking further); writes and Save go
// to the per-user store only. The two stores' locks are never held together.
class cCIAppFullConfig : public cRawValueConfig
{
public:
    cCIAppFullConfig(std::string userFolder, std::string machineFolder);

    bool Save() override;

protected:
    eConfigLookup LookupRaw(const char* path, eConfigValueType type, std::string& value) override;
    bool StoreRaw(const char* path, eConfigValueType type, std::string value) override;

private:
    cCIAppConfig m_user;
    cCIAppConfig m_machine;
};

// The folders of the store named `storeName` (e.g. "qel") in file-name bytes:
//   per-user:     $QEL_CONFIG_HOME, else ($XDG_CONFIG_HOME when absolute, else
//                 <home>/.config) + "/Kestrix Laboratories/" + storeName
//   machine-wide: $QEL_CONFIG_MACHINE, else "/var/lib/Kestrix Laboratories/" + storeName
// The per-user folder is empty when no home folder is known.
void GetConfigStoreFolders(const char* storeName, std::string& userFolder, std::string& machineFolder);

// The pair of the store named `storeName`, opened from the environment as above.
std::unique_ptr<cCIAppFullConfig> OpenApplicationConfig(const char* storeName);
