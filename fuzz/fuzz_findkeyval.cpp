// The recorder's key/value finder, checked against its contract: the first
// occurrence of the key as a whole word before a separator gives the value;
// "not found" means there is none. The rules' own copy of the lookup must
// agree with it on every case-sensitive call.
#include <string.h>

#include "camdet/rules/trigrules.h"
#include "fuzz/fuzzcheck.h"
#include "interface/hostservices.h"

using fuzz::Check;

namespace {

bool WordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

bool KeyAt(const std::string& text, size_t pos, const std::string& key, bool noCase) {
    for (size_t i = 0; i < key.size(); ++i) {
        char a = text[pos + i], b = key[i];
        if (noCase ? Lower(a) != Lower(b) : a != b) return false;
    }
    return true;
}

const char* const kKvSeps[] = {"=", ":", "= ", "=:"};
const char* const kItemSeps[] = {"\n", "\r\n", "&", ",;\n", "", nullptr};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    const bool noCase = flags & 1;
    const char* kvSep = kKvSeps[(flags >> 1) % 4];
    const char* itemSep = kItemSeps[(flags >> 3) % 6];
    const size_t keyLen = data[1] % 12;
    if (size < 2 + keyLen) return 0;
    std::string key;
    for (size_t i = 0; i < keyLen; ++i)
        if (data[2 + i] != 0) key.push_back((char)data[2 + i]);  // keys are C strings in practice
    const std::string text((const char*)data + 2 + keyLen, size - 2 - keyLen);

    std::string value = "\x01untouched";
    const int rc = BrellinOwned::FindKeyVal(text, key, value, kvSep, itemSep, noCase);
    Check(rc == 0 || rc == -1);
    if (!noCase) {
        std::string ours = "\x01untouched";
        Check(trig::FindKeyValue(text, key, kvSep, itemSep, ours) == (rc == 0));
        Check(ours == value);
    }

    // The first position where the key stands as a whole word before a separator.
    size_t first = std::string::npos;
    if (!key.empty()) {
        for (size_t pos = 0; pos + key.size() < text.size(); ++pos) {
            if (!KeyAt(text, pos, key, noCase)) continue;
            if (pos > 0 && WordChar(text[pos - 1])) continue;
            const char sep = text[pos + key.size()];
            if (sep == '\0' || !strchr(kvSep, sep)) continue;
            first = pos;
            break;
        }
    }
    if (rc == -1) {
        Check(first == std::string::npos);
        Check(value == "\x01untouched");
        return 0;
    }
    Check(first != std::string::npos);
    // The value is what follows the separator up to the first item separator,
    // cut at a NUL, less one trailing CR.
    std::string expected = text.substr(first + key.size() + 1);
    if (itemSep && *itemSep) {
        const size_t cut = expected.find_first_of(itemSep);
        if (cut != std::string::npos) expected.erase(cut);
    }
    const size_t nul = expected.find('\0');
    if (nul != std::string::npos) expected.erase(nul);
    if (!expected.empty() && expected.back() == '\r') expected.pop_back();
    Check(value == expected);
    return 0;
}
