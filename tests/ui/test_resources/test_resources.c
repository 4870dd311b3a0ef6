/* A resource library for the ui tests: a settings dialog template with the
   controls the plug-in relies on, and a string table that each test fills
   (through zeduz_test_set_string) with exactly the texts its case needs. */
#include <string.h>

#include "platform/resource_tables.h"
#include "resources/resource_ids.h"

#define EXPORT __attribute__((visibility("default")))

#define WS_CHILD_VISIBLE 0x50000000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define BS_DEFPUSHBUTTON 0x1u
#define BS_AUTORADIOBUTTON 0x9u
#define CBS_DROPDOWNLIST 0x3u
#define IDOK 1
#define IDCANCEL 2

static const struct ZeduzControlTemplate details_controls[] = {
    {IDC_BYTE_ORDER_INTEL, "BUTTON", WS_CHILD_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, 10, 10, 80, 10,
     "Intel"},
    {IDC_BYTE_ORDER_MOTOROLA, "BUTTON", WS_CHILD_VISIBLE | BS_AUTORADIOBUTTON, 10, 22, 80, 10, "Motorola"},
    {IDC_COMPRESSION_LIST, "COMBOBOX", WS_CHILD_VISIBLE | WS_GROUP | WS_TABSTOP | CBS_DROPDOWNLIST, 10, 40, 100, 60,
     ""},
    {IDOK, "BUTTON", WS_CHILD_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 70, 50, 14, "OK"},
    {IDCANCEL, "BUTTON", WS_CHILD_VISIBLE | WS_TABSTOP, 70, 70, 50, 14, "Cancel"},
};

EXPORT const struct ZeduzDialogTemplate zeduz_dialog_table[] = {
    {"DETAILS", "Test settings", 0x80C80080u, 20, 30, 130, 90, "", 0, details_controls,
     (int)(sizeof details_controls / sizeof details_controls[0])},
};
EXPORT const int zeduz_dialog_count = 1;

#define CAPACITY 64
EXPORT struct ZeduzResourceString zeduz_string_table[CAPACITY];
EXPORT int zeduz_string_count = 0;

/* Adds or replaces string `id`; `text` must outlive its use. Returns 0 when
   the table is full. */
EXPORT int zeduz_test_set_string(unsigned id, const char* text) {
    for (int i = 0; i < zeduz_string_count; ++i) {
        if (zeduz_string_table[i].id == id) {
            zeduz_string_table[i].text = text;
            return 1;
        }
    }
    if (zeduz_string_count == CAPACITY) return 0;
    zeduz_string_table[zeduz_string_count].id = id;
    zeduz_string_table[zeduz_string_count].text = text;
    ++zeduz_string_count;
    return 1;
}

EXPORT void zeduz_test_clear_strings(void) {
    memset(zeduz_string_table, 0, sizeof zeduz_string_table);
    zeduz_string_count = 0;
}
