// Text: UTF-8 and UTF-16 conversion.
#pragma once

#include <cstdint>

// Decodes one UTF-8 sequence at `in` into at most one UTF-16 unit at `out`,
// advancing both cursors. Never reads past a zero byte: a sequence cut short
// by the terminator yields nothing and leaves `in` on the terminator.
void Utf8DecodeUnit(const char*& in, wchar_t*& out);
