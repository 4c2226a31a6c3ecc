#include "recording.h"

#include <algorithm>

namespace {

std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (const wchar_t* p = text; *p; ++p) narrow += *p < 128 ? char(*p) : '?';
    return narrow;
}

}  // namespace

void RecordingPainter::ClipRect(const RECT& r) {
    calls.push_back("clip " + std::to_string(r.right) + "x" + std::to_string(r.bottom));
}

void RecordingPainter::DrawText(const wchar_t* text, POINT at, uint32_t c) {
    draws.push_back("text " + Narrow(text) + " " + std::to_string(at.x) + "," + std::to_string(at.y) + " #" +
                    std::to_string(c & 0xFFFFFF));
}

void RecordingPainter::SetFont(const wchar_t* face, int32_t size, uint32_t f) {
    std::string narrow;
    for (const wchar_t* p = face; *p; ++p) narrow += char(*p);
    calls.push_back("font " + narrow + " " + std::to_string(size) + " " + std::to_string(f));
}

int RecordingPainter::NeedsPaint(const RECT& r) {
    if (!hasUpdate) return 1;
    const LONG l = std::max(r.left + origin.x, update.left), rr = std::min(r.right + origin.x, update.right);
    const LONG t = std::max(r.top + origin.y, update.top), b = std::min(r.bottom + origin.y, update.bottom);
    return l < rr && t < b;
}

void RecordingPainter::PopOrigin() {
    origin = origins.back();
    origins.pop_back();
}

void RecordingPainter::Translate(POINT d) {
    origin.x += d.x;
    origin.y += d.y;
}

void RecordingPainter::Draw(const char* what, const RECT& r, uint32_t colour) {
    draws.push_back(std::string(what) + " " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                    std::to_string(r.right) + "," + std::to_string(r.bottom) +
                    (colour ? " #" + std::to_string(colour & 0xFFFFFF) : ""));
}

DistinctScheme::DistinctScheme() {
    for (uint32_t i = 0; i < 11; ++i) scheme.colors[i] = 0xFF000000u | (i + 1) * 0x0F0D0Bu;
    currentScheme = &scheme;
}

std::vector<std::string> notes;

void RecordNote(uint32_t, const char* name, int32_t value) {
    notes.push_back(std::string(name ? name : "(none)") + " " + std::to_string(value));
}

void RecordNoteWithData(uint32_t data, const char* name, int32_t value) {
    notes.push_back(std::to_string(data) + " " + (name ? name : "(none)") + " " + std::to_string(value));
}
