// The records a scanning host passes to ZUVadeZoduv, and the entry point.
//
// This header is the host binding: a host includes it to lay out its records.
//
// 32-bit Windows: the records have the exact byte layout every host of the
// plug-in uses (every pointer and handle 4 bytes); the offsets in the field
// comments below are these.
//
// 64-bit builds (x86-64 Windows and 64-bit Linux): the same records in their
// natural 64-bit layout. Field order, the widths of all non-pointer fields and
// their meanings are unchanged; the pointer and handle fields are 8 bytes and
// naturally aligned, so the offsets from the first pointer field on differ:
//   PluginRequest  stateKey.stateRoot 712, parentWindow 720, target 736, size 744
//   TargetFile     image 272, multiPage 280, auxFlag 281, size 288
//   ScanImage      pixels 32, bitsPerPixel 44, colorKind 52,
//                  unsupportedLayout 56, continueFile 60, size 64
// Both tables are checked at compile time at the end of this header.
//
// On Linux a stateRoot is a registry root the platform layer knows
// (HKEY_CURRENT_USER, ...) or a key the host opened through it.
//
// Bytes named host* are never read or written by the plug-in.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Command numbers (low 16 bits of the first argument of ZUVadeZoduv).
enum ZeduzCommand {
    CmdInitialize = 0,
    CmdSettings = 1,
    CmdPreparePage = 2,
    CmdWritePalette = 3,
    CmdBeginPage = 4,
    CmdWriteBand = 5,
    CmdEndPage = 6,
    CmdEndJob = 7,
    CmdAbout = 8,
};

// ScanImage.colorKind
enum ZeduzColorKind { ColorBilevel = 0, ColorGray = 1, ColorRgb = 2, ColorPalette = 3 };

// Where the plug-in keeps a job's state: a registry key path below a root.
typedef struct StateKeyBlock {
    char stateKeyPath[256];  // at most 248 characters, no trailing backslash
    void* stateRoot;         // registry root or open key (HKEY)
} StateKeyBlock;

typedef struct ScanImage {
    uint32_t xResolution;        // 0: pixels per inch; palette form: uint16_t entryCount
    uint32_t yResolution;        // 4: pixels per inch; bilevel bands: rowBytes
    uint32_t width;              // 8: pixels per row
    uint32_t rows;               // 12: rows of the page (BeginPage) or of the band (WriteBand)
    uint32_t samplesPerPixel;    // 16: 3 for RGB, 1 otherwise
    uint8_t host20[8];           // 20
    const uint8_t* pixels;       // 28: first byte of the band's pixel data
    uint8_t host32[4];           // 32 (Windows)
    uint32_t bitsPerPixel;       // 36: 48, 24, 16, 8, 4 or 1
    uint8_t host40[4];           // 40
    uint32_t colorKind;          // 44: ZeduzColorKind
    uint32_t unsupportedLayout;  // 48: non-zero: the plug-in refuses the image
    uint8_t continueFile;        // 52: non-zero: add the page to the current file
    uint8_t host53[3];
} ScanImage;

// The palette form of a ScanImage, passed with CmdWritePalette. Byte layout
// (same on every platform): entryCount, 16-bit little-endian, at 0; entry i
// has red at 9 + 4i, green at 10 + 4i, blue at 11 + 4i (entry i starts at
// 8 + 4i; its red is its second byte).
enum { kPaletteEntryCountOffset = 0, kPaletteFirstEntryOffset = 8, kPaletteEntryStride = 4, kPaletteRedInEntry = 1 };

typedef struct TargetFile {
    char path[260];     // 0: full path of the output file
    char extension[8];  // 260: written by CmdInitialize
    ScanImage* image;   // 268 (Windows)
    uint8_t multiPage;  // 272: written by CmdInitialize
    uint8_t auxFlag;    // 273: written by CmdInitialize
    uint8_t host274[2];
} TargetFile;

typedef struct PluginRequest {
    uint8_t host0[64];       // 0
    char formatName[64];     // 64: written by CmdInitialize
    char formatComment[64];  // 128: written by CmdInitialize
    uint8_t filledFlag;      // 192: 1 once CmdInitialize filled the texts
    char settingsText[260];  // 193: written by CmdInitialize and CmdSettings
    StateKeyBlock stateKey;  // 456 (453..455 are padding, never touched)
    void* parentWindow;      // 716: owner of dialogs and message boxes (HWND)
    uint8_t host720[4];      // 720 (Windows)
    TargetFile* target;      // 724
} PluginRequest;

// The one export. Returns a PluginStatus in the low 16 bits.
#if defined(_WIN32)
#define ZEDUZ_CDECL __cdecl
#else
#define ZEDUZ_CDECL
#endif
typedef uint32_t(ZEDUZ_CDECL* ZUVadeZoduvFunction)(int32_t command, PluginRequest* request);

#ifdef __cplusplus
}  // extern "C"
#endif

#define ZEDUZ_CHECK_OFFSET(record, field, offset) \
    static_assert(offsetof(record, field) == (offset), #record "." #field " must lie at " #offset)
// Fields before the first pointer of each record: the same in both layouts.
ZEDUZ_CHECK_OFFSET(StateKeyBlock, stateKeyPath, 0);
ZEDUZ_CHECK_OFFSET(PluginRequest, formatName, 64);
ZEDUZ_CHECK_OFFSET(PluginRequest, formatComment, 128);
ZEDUZ_CHECK_OFFSET(PluginRequest, filledFlag, 192);
ZEDUZ_CHECK_OFFSET(PluginRequest, settingsText, 193);
ZEDUZ_CHECK_OFFSET(PluginRequest, stateKey, 456);
ZEDUZ_CHECK_OFFSET(TargetFile, path, 0);
ZEDUZ_CHECK_OFFSET(TargetFile, extension, 260);
ZEDUZ_CHECK_OFFSET(ScanImage, xResolution, 0);
ZEDUZ_CHECK_OFFSET(ScanImage, yResolution, 4);
ZEDUZ_CHECK_OFFSET(ScanImage, width, 8);
ZEDUZ_CHECK_OFFSET(ScanImage, rows, 12);
ZEDUZ_CHECK_OFFSET(ScanImage, samplesPerPixel, 16);
#if defined(_WIN32) && !defined(_WIN64)
ZEDUZ_CHECK_OFFSET(StateKeyBlock, stateRoot, 256);
static_assert(sizeof(StateKeyBlock) == 260, "stateKey block is 260 bytes");
ZEDUZ_CHECK_OFFSET(PluginRequest, parentWindow, 716);
ZEDUZ_CHECK_OFFSET(PluginRequest, target, 724);
static_assert(sizeof(PluginRequest) == 728, "PluginRequest ends after target");
ZEDUZ_CHECK_OFFSET(TargetFile, image, 268);
ZEDUZ_CHECK_OFFSET(TargetFile, multiPage, 272);
ZEDUZ_CHECK_OFFSET(TargetFile, auxFlag, 273);
ZEDUZ_CHECK_OFFSET(ScanImage, pixels, 28);
ZEDUZ_CHECK_OFFSET(ScanImage, bitsPerPixel, 36);
ZEDUZ_CHECK_OFFSET(ScanImage, colorKind, 44);
ZEDUZ_CHECK_OFFSET(ScanImage, unsupportedLayout, 48);
ZEDUZ_CHECK_OFFSET(ScanImage, continueFile, 52);
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
ZEDUZ_CHECK_OFFSET(StateKeyBlock, stateRoot, 256);
static_assert(sizeof(StateKeyBlock) == 264, "stateKey block is 264 bytes");
static_assert(offsetof(PluginRequest, stateKey) + offsetof(StateKeyBlock, stateRoot) == 712,
              "PluginRequest.stateKey.stateRoot must lie at 712");
ZEDUZ_CHECK_OFFSET(PluginRequest, parentWindow, 720);
ZEDUZ_CHECK_OFFSET(PluginRequest, target, 736);
static_assert(sizeof(PluginRequest) == 744, "PluginRequest ends after target");
ZEDUZ_CHECK_OFFSET(TargetFile, image, 272);
ZEDUZ_CHECK_OFFSET(TargetFile, multiPage, 280);
ZEDUZ_CHECK_OFFSET(TargetFile, auxFlag, 281);
static_assert(sizeof(TargetFile) == 288, "TargetFile is 288 bytes");
ZEDUZ_CHECK_OFFSET(ScanImage, pixels, 32);
ZEDUZ_CHECK_OFFSET(ScanImage, bitsPerPixel, 44);
ZEDUZ_CHECK_OFFSET(ScanImage, colorKind, 52);
ZEDUZ_CHECK_OFFSET(ScanImage, unsupportedLayout, 56);
ZEDUZ_CHECK_OFFSET(ScanImage, continueFile, 60);
static_assert(sizeof(ScanImage) == 64, "ScanImage is 64 bytes");
#endif
#undef ZEDUZ_CHECK_OFFSET
