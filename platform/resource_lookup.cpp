// Finding strings and dialog templates in a generated resource library.
#include <dlfcn.h>
#include <strings.h>

#include "platform/module_registry.h"
#include "platform/resource_tables.h"

namespace {

template <typename Entry>
bool FindTable(HINSTANCE module, const char* tableSymbol, const char* countSymbol, const Entry** table, int* count) {
    if (module == nullptr || !platform::IsKnownModule(module)) return false;
    *table = static_cast<const Entry*>(dlsym(module, tableSymbol));
    const int* countValue = static_cast<const int*>(dlsym(module, countSymbol));
    if (*table == nullptr || countValue == nullptr) return false;
    *count = *countValue;
    return true;
}

}  // namespace

const ZeduzDialogTemplate* FindDialogTemplate(HINSTANCE module, const char* name) {
    const ZeduzDialogTemplate* table = nullptr;
    int count = 0;
    if (name == nullptr || !FindTable(module, ZEDUZ_DIALOG_TABLE_SYMBOL, ZEDUZ_DIALOG_COUNT_SYMBOL, &table, &count)) {
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        if (strcasecmp(table[i].name, name) == 0) return &table[i];
    }
    return nullptr;
}

const char* FindResourceString(HINSTANCE module, unsigned id) {
    const ZeduzResourceString* table = nullptr;
    int count = 0;
    if (!FindTable(module, ZEDUZ_STRING_TABLE_SYMBOL, ZEDUZ_STRING_COUNT_SYMBOL, &table, &count)) {
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        if (table[i].id == id) return table[i].text;
    }
    return nullptr;
}
