// What a form gives back when something fails on the way: the other forms' input after a modal
// showing that could not make its controls, its own closing after a Form_Unload that threw, and
// the list of live forms to a form that ends during the program's exit.
#include "main_window_fixture.h"
#include "support.h"

#include "about_window/frmAbout.h"
#include "functions/forms.h"
#include "toolkit/button.h"
#include "toolkit/form.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// When set, memory freed by delete is overwritten first: a use after free then reads garbage
// pointers and fails at once instead of by chance. Off for everything but the child below.
bool g_poisonFreed = false;

} // namespace

void operator delete(void* p) noexcept {
    // Called through a volatile pointer: a plain memset before free is a dead store to the
    // compiler, which drops it.
    static void* (*volatile const fill)(void*, int, std::size_t) = std::memset;
    if (p && g_poisonFreed)
        fill(p, 0xDD, _msize(p));
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    ::operator delete(p);
}

namespace {

constexpr char kLateClass[] = "IpshifterTestLateClass";

// A control of a window class that exists only once the test registers it: until then its
// window cannot be made.
class LateControl : public tk::Control {
public:
    void Create(tk::Form& form) {
        CreateIn(form, nullptr, kLateClass, "", 0, 0, {60, 60, 300, 300}, tk::FontKind::Normal);
    }
};

class FormWithLateControl : public tk::Form {
public:
    FormWithLateControl() : tk::Form("IpshifterTestLateControl", "Late control", 1500, 1500, 0) {}
    ~FormWithLateControl() override { DestroyThis(); }
    tk::Button ok;
    LateControl late;

protected:
    void CreateControls() override {
        ok.Create(*this, nullptr, "OK", {60, 600, 600, 300});
        late.Create(*this);
    }
};

class PlainForm : public tk::Form {
public:
    PlainForm() : tk::Form("IpshifterTestPlain", "Plain", 1500, 1500, 0) {}
    ~PlainForm() override { DestroyThis(); }

protected:
    void CreateControls() override {}
};

int ButtonsOf(HWND window) {
    int count = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[32] = {};
        GetClassNameA(child, name, sizeof(name));
        count += lstrcmpiA(name, "Button") == 0;
    }
    return count;
}

TEST(FormState, AControlThatCannotBeMadeInShowModalLeavesTheOtherFormsEnabled) {
    PlainForm other;
    other.Load();
    ASSERT_TRUE(other.Enabled());
    FormWithLateControl form;

    EXPECT_THROW(form.ShowModal(), std::runtime_error);
    EXPECT_TRUE(other.Enabled());
    EXPECT_FALSE(form.Visible());
    // Not left as if still showing: the next showing tries again, and fails again.
    EXPECT_THROW(form.ShowModal(), std::runtime_error);
    EXPECT_TRUE(other.Enabled());
    ShowFormModal(form);
    EXPECT_TRUE(other.Enabled());

    // Once the control can be made, the form shows whole, every control once, while the other
    // form waits; afterwards the other form takes input again.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kLateClass;
    ASSERT_TRUE(RegisterClassA(&wc));
    bool otherEnabledDuring = true;
    int buttonsDuring = 0;
    {
        Sampler sampler([&] {
            if (!form.Visible())
                return;
            otherEnabledDuring = other.Enabled();
            buttonsDuring = ButtonsOf(form.hwnd());
            form.Hide();
        });
        EXPECT_TRUE(form.ShowModal());
    }
    EXPECT_TRUE(form.late.Created());
    EXPECT_EQ(buttonsDuring, 1);
    EXPECT_FALSE(otherEnabledDuring);
    EXPECT_TRUE(other.Enabled());
    form.Unload();
    UnregisterClassA(kLateClass, GetModuleHandleA(nullptr));
}

// A form whose Form_Unload fails the first time; its menu command 1 unloads it, as the tray's
// Exit does.
class FormFailingToUnload : public tk::Form {
public:
    FormFailingToUnload() : tk::Form("IpshifterTestFailingUnload", "Failing", 1500, 1500, 0) {}
    ~FormFailingToUnload() override { DestroyThis(); }
    int unloads = 0;

protected:
    void CreateControls() override {}
    void Form_Unload(int& /*cancel*/) override {
        if (++unloads == 1)
            throw std::runtime_error("unloading failed");
    }
    void OnMenuCommand(UINT id) override {
        if (id == 1)
            Unload();
    }
};

TEST(FormState, AFormUnloadThatThrowsLeavesTheFormAbleToCloseAgain) {
    struct Way {
        const char* name;
        std::function<void(tk::Form&)> close;
    };
    const Way ways[] = {
        {"the program's Unload",
         [](tk::Form& f) {
             try {
                 f.Unload();
             } catch (const std::runtime_error&) {
             }
         }},
        // The window's own message handling takes the failure.
        {"a menu command", [](tk::Form& f) { SendMessageA(f.hwnd(), WM_COMMAND, 1, 0); }},
        // Default handling would destroy the window all the same.
        {"a close request from outside",
         [](tk::Form& f) { SendMessageA(f.hwnd(), WM_CLOSE, 0, 0); }},
        {"the close box", [](tk::Form& f) { SendMessageA(f.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        FormFailingToUnload form;
        form.Show();
        way.close(form);
        EXPECT_EQ(form.unloads, 1);
        EXPECT_TRUE(form.Loaded());
        way.close(form);
        EXPECT_EQ(form.unloads, 2);
        EXPECT_FALSE(form.Loaded());
    }
}

// A crash ends the child with its code, without a debugger waiting for the user.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

// The About window in its static slot, loaded, when the program ends: its end takes it out of
// the list of live forms during the exit. Freed memory is overwritten, so that a list already
// destroyed would make the end crash.
const ChildRegistrar aboutAtExit("about-at-exit", [](const std::vector<std::string>&) {
    SetUnhandledExceptionFilter(EndOnCrash);
    g_poisonFreed = true;
    AboutForm().Load();
    return AboutForm().Loaded() ? 0 : 3;
});

TEST(FormState, TheAboutWindowInItsSlotEndsCleanlyWhenTheProgramEnds) {
    const Process child = StartProcess(ChildCommandLine("about-at-exit", {}));
    EXPECT_EQ(WaitProcess(child, 20000), 0);
}

} // namespace
