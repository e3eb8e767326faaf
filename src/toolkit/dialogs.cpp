#include "toolkit/dialogs.h"

#include <windows.h>

#include "base/platform.h"
#include "toolkit/app.h"

#include <cstring>
#include <vector>

namespace tk {
namespace {

HWND OwnerWindow() {
    HWND active = GetActiveWindow();
    return active && IsWindowVisible(active) ? active : nullptr;
}

// The input box is a dialog template built in memory: no resource script to keep in step.
constexpr WORD kIdPrompt = kInputBoxPromptId;
constexpr WORD kIdEdit = kInputBoxTextId;

struct InputBoxState {
    const std::string* prompt;
    const std::string* defaultText;
    std::string result;
};

class TemplateWriter {
public:
    void Align(size_t to) {
        while (data_.size() % to)
            data_.push_back(0);
    }
    template <typename T> void Put(const T& v) {
        const auto* p = reinterpret_cast<const unsigned char*>(&v);
        data_.insert(data_.end(), p, p + sizeof(T));
    }
    void PutText(const wchar_t* s) {
        do
            Put<WORD>(static_cast<WORD>(*s));
        while (*s++);
    }
    void Control(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
                 const wchar_t* text) {
        Align(4);
        DLGITEMTEMPLATE item{};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = id;
        Put(item);
        Put<WORD>(0xFFFF);
        Put<WORD>(cls);
        PutText(text);
        Put<WORD>(0); // no creation data
    }
    const void* Data() const { return data_.data(); }

private:
    std::vector<unsigned char> data_;
};

INT_PTR CALLBACK InputBoxProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<InputBoxState*>(lParam);
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        SetWindowTextA(dlg, kAppTitle);
        SetDlgItemTextA(dlg, kIdPrompt, state->prompt->c_str());
        SetDlgItemTextA(dlg, kIdEdit, state->defaultText->c_str());
        SetForegroundWindow(dlg);
        // The answer is typed at once: the focus goes to the text field with its default text
        // selected, not to the first tab stop (OK) that the dialog manager would choose.
        HWND edit = GetDlgItem(dlg, kIdEdit);
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrA(dlg, DWLP_USER));
            if (LOWORD(wParam) == IDOK && state) {
                HWND edit = GetDlgItem(dlg, kIdEdit);
                int len = GetWindowTextLengthA(edit);
                std::vector<char> buf(static_cast<size_t>(len) + 1);
                int got = GetWindowTextA(edit, buf.data(), static_cast<int>(buf.size()));
                state->result.assign(buf.data(), static_cast<size_t>(got > 0 ? got : 0));
            }
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

MsgResult MsgBox(const std::string& prompt, MsgButtons buttons, MsgIcon icon) {
    UINT type = buttons == MsgButtons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
    case MsgIcon::Critical:
        type |= MB_ICONSTOP;
        break;
    case MsgIcon::Exclamation:
        type |= MB_ICONEXCLAMATION;
        break;
    case MsgIcon::Question:
        type |= MB_ICONQUESTION;
        break;
    case MsgIcon::None:
        break;
    }
    const int r = platform::Current().MessageBoxA(OwnerWindow(), prompt.c_str(), kAppTitle,
                                                  type | MB_SETFOREGROUND);
    if (buttons == MsgButtons::YesNo)
        return r == IDYES ? MsgResult::Yes : MsgResult::No;
    return MsgResult::Ok;
}

std::string InputBox(const std::string& prompt, const std::string& defaultText) {
    TemplateWriter t;
    DLGTEMPLATE dlg{};
    dlg.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    dlg.cdit = 4;
    dlg.cx = 240;
    dlg.cy = 82;
    t.Put(dlg);
    t.Put<WORD>(0); // no menu
    t.Put<WORD>(0); // default class
    t.PutText(L"Ipshifter");
    t.Put<WORD>(8);
    t.PutText(L"Tahoma");
    t.Control(SS_LEFT, 7, 7, 170, 48, kIdPrompt, 0x0082, L"");
    t.Control(BS_DEFPUSHBUTTON | WS_TABSTOP, 184, 7, 50, 14, IDOK, 0x0080, L"OK");
    t.Control(BS_PUSHBUTTON | WS_TABSTOP, 184, 25, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    t.Control(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 61, 227, 14, kIdEdit, 0x0081, L"");

    InputBoxState state{&prompt, &defaultText, {}};
    const INT_PTR r = platform::Current().DialogBoxIndirectParamA(
        GetModuleHandleA(nullptr), static_cast<LPCDLGTEMPLATEA>(t.Data()), OwnerWindow(),
        InputBoxProc, reinterpret_cast<LPARAM>(&state));
    return r == IDOK ? state.result : std::string();
}

} // namespace tk
