// What a screen reader in a second process reads of the program's window, in
// physical pixels, for the scale tests; and a DPI change made inside the
// program's thread through a message hook (dpi_hook.dll), as Windows makes it.
//
// usage: scale_probe facts
//          window W H               the window's size
//          control ROLE|NAME L T W H  each child of the client, relative to
//                                     the client's top-left corner
//          selected NAME            the list's selected row
//          value NAME VALUE         each edit's text
//        scale_probe dpi NEW OLD HOOK.dll   waits (30 s) until the window's size changed
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Utf8(BSTR b) {
    if (!b) return "-";
    char out[512];
    const int n = WideCharToMultiByte(CP_UTF8, 0, b, -1, out, sizeof(out), nullptr, nullptr);
    SysFreeString(b);
    return n > 0 ? std::string(out) : std::string("-");
}

std::string Role(IAccessible* a, VARIANT id) {
    VARIANT role;
    VariantInit(&role);
    if (FAILED(a->get_accRole(id, &role)) || role.vt != VT_I4) return "-";
    wchar_t text[128];
    GetRoleTextW(DWORD(role.lVal), text, 128);
    char out[128];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out), nullptr, nullptr);
    for (char* c = out; *c; ++c)
        if (*c == ' ') *c = '_';
    return out;
}

HWND FindProgram() {
    for (int i = 0; i < 300; ++i) {
        HWND w = FindWindowW(L"PnWindow_Class", L"ORVEN General MIDI DLS Tool");
        if (w) return w;
        Sleep(100);
    }
    return nullptr;
}

int Facts(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    std::printf("window %ld %ld\n", r.right - r.left, r.bottom - r.top);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    IAccessible* client = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&client))) || !client)
        return 1;
    long count = 0;
    client->get_accChildCount(&count);
    VARIANT children[64];
    long got = 0;
    if (count > 64) count = 64;
    AccessibleChildren(client, 0, count, children, &got);
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    for (long i = 0; i < got; ++i) {
        if (children[i].vt != VT_DISPATCH || !children[i].pdispVal) continue;
        IAccessible* a = nullptr;
        children[i].pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&a));
        children[i].pdispVal->Release();
        if (!a) continue;
        BSTR name = nullptr;
        a->get_accName(self, &name);
        const std::string role = Role(a, self), label = Utf8(name);
        long x = 0, y = 0, w = 0, h = 0;
        a->accLocation(&x, &y, &w, &h, self);
        std::printf("control %s|%s %ld %ld %ld %ld\n", role.c_str(), label.c_str(), x - origin.x, y - origin.y, w, h);
        if (role == "text") {
            BSTR value = nullptr;
            a->get_accValue(self, &value);
            std::printf("value %s %s\n", label.c_str(), Utf8(value).c_str());
        }
        if (role == "list") {
            VARIANT selected;
            VariantInit(&selected);
            if (SUCCEEDED(a->get_accSelection(&selected)) && selected.vt == VT_I4) {
                BSTR row = nullptr;
                a->get_accName(selected, &row);
                std::printf("selected %s\n", Utf8(row).c_str());
            }
        }
        a->Release();
    }
    client->Release();
    return 0;
}

int ChangeDpi(HWND window, int dpi, int old, const char* hookPath) {
    HMODULE hook = LoadLibraryA(hookPath);
    HOOKPROC proc = hook ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hook, "DpiHook")))
                         : nullptr;
    if (!proc) {
        std::printf("FAIL: no hook in %s\n", hookPath);
        return 1;
    }
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    HHOOK installed = SetWindowsHookExA(WH_GETMESSAGE, proc, hook, thread);
    if (!installed) {
        std::printf("FAIL: SetWindowsHookEx: %lu\n", GetLastError());
        return 1;
    }
    RECT before;
    GetWindowRect(window, &before);
    PostMessageA(window, RegisterWindowMessageA("OrvenTestDpiChange"), WPARAM(dpi), LPARAM(old));
    bool changed = false;
    for (int i = 0; i < 300 && !changed; ++i) {
        Sleep(100);
        RECT now;
        GetWindowRect(window, &now);
        changed = now.right - now.left != before.right - before.left;
    }
    Sleep(300);   // the repaint after the new size
    UnhookWindowsHookEx(installed);
    std::printf("%s\n", changed ? "changed" : "FAIL: the window kept its size");
    return changed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    CoInitialize(nullptr);
    HWND window = FindProgram();
    if (!window) {
        std::printf("FAIL: no program window\n");
        return 1;
    }
    int status = 2;
    if (!std::strcmp(argv[1], "facts")) status = Facts(window);
    if (!std::strcmp(argv[1], "dpi") && argc == 5) status = ChangeDpi(window, std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    std::fflush(stdout);
    CoUninitialize();
    return status;
}
