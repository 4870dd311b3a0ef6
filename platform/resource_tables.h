/* The tables of a generated resource library (Linux build).
 *
 * resources/rc_to_c.py turns the resource script into C source that defines
 * the exported symbols below; the platform layer finds them with dlsym in a
 * library loaded by LoadLibraryA. Plain C, so the generated file can use it. */
#ifndef ZEDUZ_PLATFORM_RESOURCE_TABLES_H
#define ZEDUZ_PLATFORM_RESOURCE_TABLES_H

#ifdef __cplusplus
extern "C" {
#endif

struct ZeduzResourceString {
    unsigned id;
    const char* text;
};

/* One control of a dialog template; coordinates in dialog units. */
struct ZeduzControlTemplate {
    int id;
    const char* className; /* "BUTTON", "COMBOBOX", "STATIC" */
    unsigned style;        /* window and control style bits */
    int x, y, cx, cy;
    const char* text;
};

struct ZeduzDialogTemplate {
    const char* name; /* template name, upper case as the resource compiler stores it */
    const char* caption;
    unsigned style;
    int x, y, cx, cy;
    const char* fontName; /* "" when the template names no font */
    int fontSize;
    const struct ZeduzControlTemplate* controls;
    int controlCount;
};

#define ZEDUZ_STRING_TABLE_SYMBOL "zeduz_string_table"
#define ZEDUZ_STRING_COUNT_SYMBOL "zeduz_string_count"
#define ZEDUZ_DIALOG_TABLE_SYMBOL "zeduz_dialog_table"
#define ZEDUZ_DIALOG_COUNT_SYMBOL "zeduz_dialog_count"

#ifdef __cplusplus
}

#include "platform/win32.h"

/* The dialog template `name` (compared without regard to case, as Windows
   resource names are) of a resource library loaded with LoadLibraryA;
   nullptr when the module has none of that name. */
const ZeduzDialogTemplate* FindDialogTemplate(HINSTANCE module, const char* name);

/* The string `id` of such a library; nullptr when it has none. */
const char* FindResourceString(HINSTANCE module, unsigned id);
#endif

#endif
