#pragma once
// The program's modal boxes, with the caption "Ipshifter". Both go through the platform table,
// so that tests answer them.
#include <string>

namespace tk {

enum class MsgIcon { None, Critical, Exclamation, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

// Shows a message box and waits for the answer.
MsgResult MsgBox(const std::string& prompt, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None);
// Asks for one line of text; Cancel gives the empty text.
std::string InputBox(const std::string& prompt, const std::string& defaultText = {});

// The control identifiers of the input box: its prompt and its text field.
inline constexpr int kInputBoxPromptId = 100;
inline constexpr int kInputBoxTextId = 101;

} // namespace tk
