/* The plug-in's version as an ELF note of the Linux library, its counterpart
   of the DLL's version resource: a host reads it from the library it loaded
   (through the loader's program headers), so the library exports nothing
   for it. Note name "Zeduz", type 1, the version text as its descriptor. */
#include <stdint.h>

#include "generated/zeduz_version.h"

#define ZEDUZ_NOTE_ALIGN4(size) (((size) + 3u) & ~3u)

struct ZeduzVersionNote {
    uint32_t nameSize;
    uint32_t descriptorSize;
    uint32_t type;
    char name[ZEDUZ_NOTE_ALIGN4(sizeof "Zeduz")];
    char descriptor[ZEDUZ_NOTE_ALIGN4(sizeof ZEDUZ_VERSION)];
};

/* In a note section of its own, which the linker puts in the library's
   note segment; kept though nothing refers to it. */
#define ZEDUZ_VERSION_NOTE_SECTION __attribute__((section(".note.zeduz.version"), aligned(4), used))

ZEDUZ_VERSION_NOTE_SECTION static const struct ZeduzVersionNote zeduz_version_note = {
    sizeof "Zeduz", sizeof ZEDUZ_VERSION, 1, "Zeduz", ZEDUZ_VERSION};
