// The registry location of a job and typed access to its named values.
//
// The key "<keyPath>\ZEDUZ-ORID" below the root is opened by the first
// operation that needs it and stays open until Commit or Release: a command
// opens it once, not once per value. Writes and deletes take effect at once
// for this process; Commit closes the key, which on Linux commits every value
// written since as one transaction (a process killed before it loses those
// values only). The plain Write and Delete calls commit their one value.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// The fixed names of the values the plug-in keeps.
namespace value_names {
inline constexpr const char kSubkey[] = "ZEDUZ-ORID";
inline constexpr const char kFileType[] = "File Type";
inline constexpr const char kCompression[] = "Compression";
inline constexpr const char kColorCompression[] = "Color Compression";
inline constexpr const char kJpegQuality[] = "JPEG Quality";
// Whether a new file is BigTIFF (1) or classic TIFF (0, or absent).
inline constexpr const char kBigTiff[] = "BigTIFF";
inline constexpr const char kPositionX[] = "Position X";
inline constexpr const char kPositionY[] = "Position Y";
inline constexpr const char kTempFile[] = "TempFile";
inline constexpr const char kImageFormat[] = "ImageFormat";
inline constexpr const char kPageCount[] = "Page Count";
inline constexpr const char kLoopCount[] = "LoopCount";
inline constexpr const char kImageSize[] = "Image Size";
inline constexpr const char kDirectoryCount[] = "Directory Count";
inline constexpr const char kNextPoint[] = "Next Point";
inline constexpr const char kImageOffset[] = "Image Offset";
inline constexpr const char kAppendBase[] = "Append Base";
inline constexpr const char kAppendFile[] = "Append File";
// The identity of the page file "TempFile" names, recorded when the plug-in
// creates it (see output/file_identity.h).
inline constexpr const char kTempFileIdentity[] = "TempFile Identity";
// The copy of a first page staged beside the output file while it exists,
// and its identity.
inline constexpr const char kStagedFile[] = "Staged File";
inline constexpr const char kStagedFileIdentity[] = "Staged File Identity";
// The process that runs the job: "<process id> <creation time, 16 hex digits>".
inline constexpr const char kJobOwner[] = "Job Owner";
}  // namespace value_names

// A copy of the host's 260-byte location block (key path, root key) plus the
// plug-in's own subkey name.
struct StateStore {
    char keyPath[256] = {};
    HKEY rootKey = nullptr;
    char subkeyName[260] = {};

    StateStore() = default;
    // A copy names the same location and opens a key of its own.
    StateStore(const StateStore& other);
    StateStore& operator=(const StateStore&) = delete;
    ~StateStore() { (void)Commit(); }

    // Copies the host's location block (all 256 bytes of the key path and the
    // root), then the subkey name. The key of the last location is committed
    // and closed.
    void SetLocation(const char (&hostKeyPath)[256], HKEY hostRoot, const char* subkey);

    // False when the registry itself cannot be used (damaged, unreadable,
    // refused): opening the key fails for another reason than its absence or
    // a root that is no key at all.
    bool Usable() const;

    // Reads leave their output untouched when they fail.
    bool ReadDword(const char* name, uint32_t* value) const;
    // A REG_DWORD or a REG_QWORD: offsets of a BigTIFF file pass 32 bits.
    bool ReadNumber(const char* name, uint64_t* value) const;
    bool ReadString(const char* name, char (&value)[260]) const;

    // The value written (or deleted) in the open key, committed with the
    // others at the next Commit.
    bool PutDword(const char* name, uint32_t value) const;
    // A REG_DWORD where the value fits one, else a REG_QWORD.
    bool PutNumber(const char* name, uint64_t value) const;
    bool PutString(const char* name, const char* value) const;
    // True when the value is gone: deleted, or never there.
    bool RemoveValue(const char* name) const;
    // Closes the key: false when the values put since the last commit could
    // not be committed.
    [[nodiscard]] bool Commit() const;

    // One value, committed.
    bool WriteDword(const char* name, uint32_t value) const;
    bool WriteString(const char* name, const char* value) const;
    bool DeleteValue(const char* name) const;

    // (10, 10) for any coordinate never stored; false when the key is absent.
    bool ReadWindowPosition(int32_t* x, int32_t* y) const;
    bool WriteWindowPosition(HWND window) const;

    // Signed convenience forms of the dword calls.
    bool ReadInt(const char* name, int32_t* value) const;
    bool WriteInt(const char* name, int32_t value) const;

private:
    // The open key, opened (or created) when missing; false when there is
    // none and may be none.
    bool OpenKey() const;
    bool OpenOrCreateKey() const;

    mutable HKEY key_ = nullptr;
};
