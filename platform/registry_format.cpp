// Reading and writing the text form of a key's values (registry_format.h).
#include "platform/registry_format.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <optional>

namespace platform::registry {

namespace {

constexpr char kHeader[] = "; Registry values of one key. Edit with care: one value a line.\n";

bool IsPlain(uint8_t byte) { return byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\'; }

void AppendQuoted(std::string& out, const uint8_t* bytes, size_t count) {
    out += '"';
    for (size_t i = 0; i < count; ++i) {
        uint8_t byte = bytes[i];
        if (IsPlain(byte)) {
            out += static_cast<char>(byte);
        } else if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else {
            char escaped[5];
            snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
            out += escaped;
        }
    }
    out += '"';
}

void AppendHex(std::string& out, const std::vector<uint8_t>& data) {
    for (size_t i = 0; i < data.size(); ++i) {
        char digits[4];
        snprintf(digits, sizeof(digits), i == 0 ? "%02x" : ",%02x", data[i]);
        out += digits;
    }
}

bool IsStringData(const std::vector<uint8_t>& data) {
    if (data.empty() || data.back() != 0) return false;
    return memchr(data.data(), 0, data.size() - 1) == nullptr;
}

void AppendValue(std::string& out, const Value& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, reinterpret_cast<const uint8_t*>(value.name.data()), value.name.size());
    }
    out += '=';
    if (value.type == REG_SZ && IsStringData(value.data)) {
        AppendQuoted(out, value.data.data(), value.data.size() - 1);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                          (static_cast<uint32_t>(value.data[3]) << 24);
        char digits[16];
        snprintf(digits, sizeof(digits), "dword:%08x", number);
        out += digits;
    } else if (value.type == REG_BINARY) {
        out += "hex:";
        AppendHex(out, value.data);
    } else {
        char prefix[24];
        snprintf(prefix, sizeof(prefix), "hex(%x):", value.type);
        out += prefix;
        AppendHex(out, value.data);
    }
    out += '\n';
}

// A cursor over one line.
struct Cursor {
    const std::string& line;
    size_t at = 0;

    bool AtEnd() const { return at >= line.size(); }
    bool Take(const char* literal) {
        size_t length = strlen(literal);
        if (line.compare(at, length, literal) != 0) return false;
        at += length;
        return true;
    }
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<uint8_t> HexByte(Cursor& cursor) {
    if (cursor.at + 2 > cursor.line.size()) return std::nullopt;
    int high = HexDigit(cursor.line[cursor.at]);
    int low = HexDigit(cursor.line[cursor.at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    cursor.at += 2;
    return static_cast<uint8_t>(high * 16 + low);
}

std::optional<std::string> ReadQuoted(Cursor& cursor) {
    if (!cursor.Take("\"")) return std::nullopt;
    std::string text;
    while (!cursor.AtEnd()) {
        char c = cursor.line[cursor.at++];
        if (c == '"') return text;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (cursor.Take("\\")) {
            text += '\\';
        } else if (cursor.Take("\"")) {
            text += '"';
        } else if (cursor.Take("x")) {
            std::optional<uint8_t> byte = HexByte(cursor);
            if (!byte) return std::nullopt;
            text += static_cast<char>(*byte);
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;  // no closing quote
}

std::optional<std::vector<uint8_t>> ReadHexList(Cursor& cursor) {
    std::vector<uint8_t> data;
    if (cursor.AtEnd()) return data;
    do {
        std::optional<uint8_t> byte = HexByte(cursor);
        if (!byte) return std::nullopt;
        data.push_back(*byte);
    } while (cursor.Take(","));
    return data;
}

std::optional<DWORD> ReadHexNumber(Cursor& cursor, size_t maxDigits) {
    uint64_t number = 0;
    size_t digits = 0;
    while (!cursor.AtEnd() && HexDigit(cursor.line[cursor.at]) >= 0 && digits < maxDigits) {
        number = number * 16 + static_cast<unsigned>(HexDigit(cursor.line[cursor.at++]));
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    return static_cast<DWORD>(number);
}

bool ReadData(Cursor& cursor, Value& value) {
    if (cursor.line.compare(cursor.at, 1, "\"") == 0) {
        std::optional<std::string> text = ReadQuoted(cursor);
        if (!text) return false;
        value.type = REG_SZ;
        value.data.assign(text->begin(), text->end());
        value.data.push_back(0);
        return true;
    }
    if (cursor.Take("dword:")) {
        std::optional<DWORD> number = ReadHexNumber(cursor, 8);
        if (!number) return false;
        value.type = REG_DWORD;
        value.data = {static_cast<uint8_t>(*number), static_cast<uint8_t>(*number >> 8),
                      static_cast<uint8_t>(*number >> 16), static_cast<uint8_t>(*number >> 24)};
        return true;
    }
    if (cursor.Take("hex:")) {
        value.type = REG_BINARY;
    } else if (cursor.Take("hex(")) {
        std::optional<DWORD> type = ReadHexNumber(cursor, 8);
        if (!type || !cursor.Take("):")) return false;
        value.type = *type;
    } else {
        return false;
    }
    std::optional<std::vector<uint8_t>> data = ReadHexList(cursor);
    if (!data) return false;
    value.data = std::move(*data);
    return true;
}

std::optional<Value> ParseLine(const std::string& line) {
    Cursor cursor{line};
    Value value{};
    if (!cursor.Take("@")) {
        std::optional<std::string> name = ReadQuoted(cursor);
        if (!name || name->empty()) return std::nullopt;
        value.name = *name;
    }
    if (!cursor.Take("=") || !ReadData(cursor, value) || !cursor.AtEnd()) return std::nullopt;
    return value;
}

}  // namespace

ParsedValues ParseValues(const std::string& text) {
    ParsedValues parsed;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        std::optional<Value> value = ParseLine(line);
        if (!value) {
            parsed.clean = false;
            continue;
        }
        auto existing = FindValue(parsed.values, value->name);
        if (existing != parsed.values.end()) {
            *existing = std::move(*value);  // the later line wins
        } else {
            parsed.values.push_back(std::move(*value));
        }
    }
    return parsed;
}

std::string SerializeValues(const std::vector<Value>& values) {
    std::string out = kHeader;
    for (const Value& value : values) AppendValue(out, value);
    return out;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::vector<Value>::iterator FindValue(std::vector<Value>& values, const std::string& name) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (SameName(it->name, name)) return it;
    }
    return values.end();
}

}  // namespace platform::registry
