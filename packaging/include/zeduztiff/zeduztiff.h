/* The host binding of the Zeduz multi-page TIFF plug-in, as installed:
   everything a scanning application needs to load the plug-in at run time
   and drive it through its one entry point. The records and the command
   numbers are those of host_records.h beside this header.

   Linux: a host finds the installed plug-in with pkg-config
   (`pkg-config --variable=plugin zeduztiff`), loads it with dlopen, looks
   up ZEDUZ_ENTRY_POINT_NAME with dlsym and passes its records, with the
   job's state under ZEDUZ_STATE_ROOT_CURRENT_USER. Windows: LoadLibrary of
   ZeduzTiff.dll and GetProcAddress; the state root is a registry key. */
#ifndef ZEDUZTIFF_H
#define ZEDUZTIFF_H

#if !defined(__cplusplus) && !defined(static_assert)
#include <assert.h> /* C11: the layout checks of host_records.h */
#endif

#include "host_records.h"

/* The name of the one export, of type ZUVadeZoduvFunction. */
#define ZEDUZ_ENTRY_POINT_NAME "ZUVadeZoduv"

/* Linux: the registry root HKEY_CURRENT_USER of the plug-in's own registry
   (an SQLite database: $ZEDUZ_REGISTRY_DIR/registry.db, else
   $XDG_CONFIG_HOME/zeduz/registry.db, else ~/.config/zeduz/registry.db),
   for StateKeyBlock.stateRoot. The job's state lives in the key
   stateKeyPath below it, e.g. "Software\\MyScanApp\\Jobs\\1". */
#define ZEDUZ_STATE_ROOT_CURRENT_USER ((void*)(uintptr_t)0x80000001u)

/* The status in the low 16 bits of the entry point's result. */
enum ZeduzStatus {
    ZeduzStatusOk = 0,
    ZeduzStatusDiskFull = 201,
    ZeduzStatusCreateFailed = 202,
    ZeduzStatusOpenFailed = 203,
    ZeduzStatusReadFailed = 204,
    ZeduzStatusWriteFailed = 205,
    ZeduzStatusCloseFailed = 206,
    ZeduzStatusDeleteFailed = 207,
    ZeduzStatusSeekFailed = 208,
    ZeduzStatusUnsupportedImage = 209,
    ZeduzStatusUnknownCommand = 211,
    ZeduzStatusNoResources = 213,      /* the resource library is missing beside the plug-in */
    ZeduzStatusBadSequence = 214,      /* the commands of a job out of order */
    ZeduzStatusNotAppendable = 215,    /* the output file cannot take another page */
    ZeduzStatusBadRecord = 216,        /* a record the command cannot use */
    ZeduzStatusStateUnavailable = 217, /* the registry cannot be used */
    ZeduzStatusEmptyPage = 218,        /* a page ended before its first row: not added */
    ZeduzStatusJobInUse = 219,         /* the job's key belongs to another running process */
    ZeduzStatusNoMemory = 0xFFFF,
    ZeduzStatusDialogOk = 0x1001, /* CmdSettings: the user confirmed the dialog */
    ZeduzStatusDialogCancel = 0x1002
};

#endif
