// Building blocks of the vendor trigger tests: pure functions of a camera's
// answer (a byte buffer of len bytes whose text ends at the first NUL or at
// len). None of them reads beyond len, allocates more than a copy of the
// answer, or throws.
#ifndef CAMDET_TRIGRULES_H
#define CAMDET_TRIGRULES_H

#include <initializer_list>
#include <string>

#include "camdet/rules/lines.h"

namespace trig {

// The answer as text: up to the first NUL, at most len bytes.
std::string AnswerText(const char* buf, unsigned int len);

// Key lookup with the recorder's FindKeyVal contract (case-sensitive): the
// first occurrence of key at the start of text or after a character that is
// not a letter, digit or underscore, followed by one kvSep character; value is
// what follows up to the first itemSep character (or the end), cut at a NUL,
// less one trailing "\r". The rules keep their own copy so that they need
// nothing from the recorder; a unit test holds the two to the same answers.
bool FindKeyValue(const std::string& text, const std::string& key, const char* kvSep, const char* itemSep,
                  std::string& value);
// The same lookup in the answer text (up to its first NUL); value is cleared first.
bool KeyValue(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
              std::string& value);
// The key is found and its value equals one of the texts.
bool KeyEquals(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
               std::initializer_list<const char*> texts);
// The key is found and its value contains one of the texts.
bool KeyContains(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
                 std::initializer_list<const char*> texts);
// The same tests that also mark an answer without the key: unread is set
// when the key is missing, left alone otherwise (an answer that is not the
// camera's status at all, as opposed to a quiet one).
bool KeyEquals(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
               std::initializer_list<const char*> texts, bool& unread);
bool KeyContains(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
                 std::initializer_list<const char*> texts, bool& unread);
// unread is set when the answer lacks the text (left alone otherwise); found.
inline bool Needed(bool found, bool& unread) {
    if (!found) unread = true;
    return found;
}
// The answer contains the text.
bool Substring(const char* buf, unsigned int len, const std::string& text);
// The len bytes of buf (NUL bytes included, no terminator needed) contain
// the bytes of pattern; false for an empty pattern or a null buffer.
bool BytesContain(const char* buf, unsigned int len, const char* pattern);
// Byte `index` of the buffer (0-based) has a bit of mask set; false when the
// buffer is shorter.
bool ByteBits(const char* buf, unsigned int len, unsigned int index, unsigned int mask);

// Calls fn(line) for every line of the answer (the library's line splitter,
// lineMax bytes a line, at most maxLines lines) until fn returns true.
// True when fn did.
template <typename Fn>
bool ForEachLine(const char* buf, unsigned int len, int lineMax, int maxLines, Fn fn);

// Reads text as a decimal int (leading white space and sign allowed,
// clamped to the int range); def when there is no digit.
int DecimalOr(const std::string& text, int def);
// Reads text as a hexadecimal number (optional "0x"); false when there is no
// digit or it does not fit in 32 bits.
bool Hex32(const std::string& text, unsigned int& out);

// The common ending of a test: value = hit ? level : 0; returns hit.
inline bool Report(bool hit, int level, int& value) {
    value = hit ? level : 0;
    return hit;
}

// ---------------------------------------------------------------- families

// MessoaPro alarm number: "Alarm.Status" up to a space, else up to a line
// end, as a decimal number; -1 without the key.
int MessoaProAlarmNo(const char* buf, unsigned int len);
// Bosch RCP answer: the content of the first dec element after "<result>"
// (when present), white space removed; empty without both tags.
std::string BoschDecText(const char* buf, unsigned int len);
// Itx event status: the value of the first of 100 lines beginning (any case)
// with prefix ("rise_alarm" or "rise_motion") and "=", scanned into a
// 32-character field. False when no line begins so or it does not scan.
bool ItxRiseValue(const char* buf, unsigned int len, const char* prefix, std::string& value);
// Messoa03: an input alarm is a line with "Mode " and a digit 1..diCnt after it.
bool Messoa03InputAlarm(const char* buf, unsigned int len, int diCnt);
// Messoa03: motion is a line containing "Mode " followed by diCnt + 1.
bool Messoa03Motion(const char* buf, unsigned int len, int diCnt);
// Arecont multi-lens channel: the recorder's channel "1".."4" mapped to the
// sensor the camera names (identity with originNo); anything else empty.
std::string ArecontChannel(const std::string& recorderChannel, bool originNo);
// Messoa A02 (and Imege) input query: one key per input, input 1
// "surveillance.eventdido.di_current_state", then "..._2", "..._3", ...
std::string MessoaA02InputQuery(int inputs);

}  // namespace trig

// ---------------------------------------------------------------- template

namespace trig {

template <typename Fn>
bool ForEachLine(const char* buf, unsigned int len, int lineMax, int maxLines, Fn fn) {
    std::string text = AnswerText(buf, len);
    unsigned int n = (unsigned int)text.size();
    unsigned int pos = 0;
    char line[256];
    if (lineMax > (int)sizeof(line)) lineMax = (int)sizeof(line);
    // ReadToLineEnd only reads its input; the copy keeps the caller's buffer const.
    for (int i = 0; pos < n && (maxLines <= 0 || i < maxLines); ++i) {
        ReadToLineEnd(&text[0], n, pos, line, lineMax);
        if (fn(static_cast<const char*>(line))) return true;
    }
    return false;
}

}  // namespace trig

#endif  // CAMDET_TRIGRULES_H
