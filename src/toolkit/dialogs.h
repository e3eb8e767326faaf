#pragma once
// Modal boxes of the program. Every one goes through a replaceable handler, so that tests can
// answer them; with no handler set the real box is shown.
#include <windows.h>

#include <functional>
#include <string>

namespace tk {

enum class MsgIcon { None, Critical, Exclamation, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

struct MessageBoxRequest {
    std::string prompt;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

// Shows a message box with the caption "Ipshifter" and waits for the answer.
MsgResult MsgBox(const std::string& prompt, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None);
// Asks for one line of text with the caption "Ipshifter"; Cancel gives the empty text.
std::string InputBox(const std::string& prompt, const std::string& defaultText = {});

using MessageBoxHandler = std::function<MsgResult(const MessageBoxRequest&)>;
using InputBoxHandler =
    std::function<std::string(const std::string& prompt, const std::string& defaultText)>;
void SetMessageBoxHandler(MessageBoxHandler handler);
void SetInputBoxHandler(InputBoxHandler handler);

// Opens a popup menu at a screen position and returns the chosen command (0 for none).
UINT TrackPopup(HMENU menu, HWND owner, POINT screenPos);
using PopupHandler = std::function<UINT(HMENU menu, HWND owner, POINT screenPos)>;
void SetPopupHandler(PopupHandler handler);

} // namespace tk
