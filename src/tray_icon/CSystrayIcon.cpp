#include "tray_icon/CSystrayIcon.h"

#include "base/platform.h"
#include "base/scope_exit.h"

#include <algorithm>
#include <cstring>

#if !defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first notification-icon record form is 88 bytes");
#endif

namespace {

constexpr std::uint32_t kAllParts = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr size_t kTipChars = 64;

std::string TipField(const std::string& tip) {
    std::string field = tip.substr(0, kTipChars - 1);
    field.push_back('\0');
    field.resize(kTipChars, ' ');
    return field;
}

} // namespace

CSystrayIcon::~CSystrayIcon() {
    HideIcon();
}

std::int32_t CSystrayIcon::Initialize(HWND hwnd, HICON hIcon, const std::string& sTip,
                                      std::uint32_t uCallbackMessage) {
    IconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    IconData.hWnd = hwnd;
    IconData.uID = kIconId;
    IconData.uFlags = kAllParts;
    IconData.uCallbackMessage = uCallbackMessage;
    IconData.hIcon = hIcon;
    IconData.szTip = TipField(sTip);
    IconShown = false;
    UpdateOnChange_ = true;
    return 0;
}

bool CSystrayIcon::CallShell(DWORD message, bool report) {
    NOTIFYICONDATAA data{};
    data.cbSize = IconData.cbSize;
    data.hWnd = IconData.hWnd;
    data.uID = IconData.uID;
    data.uFlags = IconData.uFlags;
    data.uCallbackMessage = IconData.uCallbackMessage;
    data.hIcon = IconData.hIcon;
    std::memcpy(data.szTip, IconData.szTip.data(), std::min(IconData.szTip.size(), kTipChars));
    const BOOL ok = platform::Current().Shell_NotifyIconA(message, &data);
    if (!ok) {
        const auto error = static_cast<std::int32_t>(GetLastError());
        if (report && NIError)
            NIError(error);
        return false;
    }
    return true;
}

bool CSystrayIcon::ShowIcon() {
    if (IconShown)
        return false;
    if (!CallShell(NIM_ADD))
        return false;
    IconShown = true;
    return true;
}

bool CSystrayIcon::HideIcon() {
    if (!IconShown)
        return false;
    if (!CallShell(NIM_DELETE))
        return false;
    IconShown = false;
    return true;
}

bool CSystrayIcon::Update() {
    if (!IconShown)
        return false;
    return CallShell(NIM_MODIFY);
}

void CSystrayIcon::SinglePropertyUpdate(std::uint32_t flag) {
    if (!UpdateOnChange_)
        return;
    IconData.uFlags = flag;
    auto allParts = base::scope_exit([this] { IconData.uFlags = kAllParts; });
    Update();
}

void CSystrayIcon::IconHandle(HICON hIcon) {
    IconData.hIcon = hIcon;
    SinglePropertyUpdate(NIF_ICON);
}

void CSystrayIcon::TipText(const std::string& sTip) {
    IconData.szTip = TipField(sTip);
    SinglePropertyUpdate(NIF_TIP);
}

void CSystrayIcon::CallbackMessage(std::uint32_t uCallbackMessage) {
    IconData.uCallbackMessage = uCallbackMessage;
    SinglePropertyUpdate(NIF_MESSAGE);
}

std::string CSystrayIcon::TipText() const {
    const auto nul = IconData.szTip.find('\0');
    return IconData.szTip.substr(0, std::min(nul, kTipChars - 1));
}

bool CSystrayIcon::RestoreAfterShellRestart() {
    if (!IconShown)
        return false;
    IconShown = false;
    return ShowIconOrAdopt();
}

bool CSystrayIcon::ShowIconOrAdopt() {
    if (IconShown)
        return true;
    if (ShowIcon())
        return true;
    if (!CallShell(NIM_MODIFY, false))
        return false;
    IconShown = true;
    return true;
}

void CSystrayIcon::Visible(bool bVisible) {
    if (bVisible)
        ShowIcon();
    else
        HideIcon();
}
