#include "Str.h"

void Utf8DecodeUnit(const char*& in, wchar_t*& out) {
    unsigned b = static_cast<unsigned char>(*in++);
    unsigned value;
    int continuations;
    if ((b & 0xF0) == 0xE0) {
        value = b & 0x0F;
        continuations = 2;
    } else if ((b & 0xE0) == 0xC0) {
        value = b & 0x1F;
        continuations = 1;
    } else if (b < 0x80) {
        *out++ = static_cast<wchar_t>(b);
        return;
    } else {
        return;  // stray continuation byte or a four-byte lead: dropped
    }
    for (; continuations > 0; --continuations) {
        unsigned c = static_cast<unsigned char>(*in);
        if (c == 0) return;
        ++in;
        if ((c & 0xC0) == 0x80) value = (value << 6) | (c & 0x3F);
    }
    *out++ = static_cast<wchar_t>(value);
}
