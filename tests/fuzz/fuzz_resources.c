/* The resource library of the resource-string fuzz target: one string,
   which the target sets for each input. */
#include "platform/resource_tables.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT struct ZeduzResourceString zeduz_string_table[1];
EXPORT int zeduz_string_count = 1;

/* `text` must outlive its use. */
EXPORT void zeduz_fuzz_set_string(unsigned id, const char* text) {
    zeduz_string_table[0].id = id;
    zeduz_string_table[0].text = text;
}
