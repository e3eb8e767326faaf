#pragma once
// Owns one icon in the notification area: keeps the shell's record for it, adds, changes and
// removes it, and reports a failing shell call through NIError.
#include <windows.h>
#include <shellapi.h>

#include "base/names.h"

#include <cstdint>
#include <functional>
#include <string>

class CSystrayIcon {
public:
    // The icon record as the program keeps it; converted to the shell's first (smallest)
    // ANSI record form for every call.
    struct IconRecord {
        std::uint32_t cbSize = 0;
        HWND hWnd = nullptr;
        std::uint32_t uID = 0;
        std::uint32_t uFlags = 0;
        std::uint32_t uCallbackMessage = 0;
        HICON hIcon = nullptr;
        // 63 characters at most, one NUL, then blanks: always 64 characters once set.
        std::string szTip;
    };

    // The one icon of its window, as the shell's callbacks name it in wParam.
    static constexpr std::uint32_t kIconId = kTrayIconId;

    CSystrayIcon() = default;
    // Removes the icon when it is shown.
    ~CSystrayIcon();
    CSystrayIcon(const CSystrayIcon&) = delete;
    CSystrayIcon& operator=(const CSystrayIcon&) = delete;

    std::int32_t Initialize(HWND hwnd, HICON hIcon, const std::string& sTip,
                            std::uint32_t uCallbackMessage = 0);
    bool ShowIcon();
    bool HideIcon();
    void IconHandle(HICON hIcon);
    void TipText(const std::string& sTip);
    void CallbackMessage(std::uint32_t uCallbackMessage);
    bool Update();
    HICON IconHandle() const { return IconData.hIcon; }
    std::string TipText() const;
    std::uint32_t CallbackMessage() const { return IconData.uCallbackMessage; }
    void UpdateOnChange(bool bUpdate) { UpdateOnChange_ = bUpdate; }
    bool Visible() const { return IconShown; }
    void Visible(bool bVisible);
    bool UpdateOnChange() const { return UpdateOnChange_; }
    // Adds a shown icon again (as ShowIconOrAdopt does) after the shell restarted and forgot
    // it; when the new shell refuses, the icon counts as not shown.
    bool RestoreAfterShellRestart();
    // Adds the icon when it is not shown; true when the shell has it afterwards. A refused add
    // is followed by a change of the icon: when the shell takes that, it held the icon already
    // (from an add it reported as failed, or through a "TaskbarCreated" without a restart), and
    // the icon counts as shown.
    bool ShowIconOrAdopt();

    // Raised with GetLastError() when the shell reports a failure.
    std::function<void(std::int32_t ErrorNumber)> NIError;

    const IconRecord& Record() const { return IconData; }

private:
    // `report`: a failure raises NIError.
    bool CallShell(DWORD message, bool report = true);
    void SinglePropertyUpdate(std::uint32_t flag);

    IconRecord IconData;
    bool IconShown = false;
    bool UpdateOnChange_ = false;
};
