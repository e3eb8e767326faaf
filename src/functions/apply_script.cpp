#include "functions/apply_script.h"

#include "base/error_text.h"
#include "base/handle.h"
#include "base/platform.h"

#include <windows.h>

#include <cstring>
#include <utility>

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// The interpreter expands %NAME% before it parses anything else, also between double quotes.
std::string DoublePercent(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '%')
            out += '%';
        out += c;
    }
    return out;
}

// Text for an echo line that prints it as it is and runs nothing. The quote is escaped as well:
// an escaped quote does not open a quoted stretch in which the other escapes would show.
std::string EscapeForEcho(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        // A trail byte of a double-byte character can look like | or ^; it must stay as it is.
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < text.size()) {
            out += c;
            out += text[++i];
            continue;
        }
        if (c == '%')
            out += '%';
        else if (std::strchr("&|<>^\"", c) != nullptr)
            out += '^';
        out += c;
    }
    return out;
}

std::string Quoted(const std::string& connection) {
    return "\"" + DoublePercent(connection) + "\"";
}

// What may stand unquoted on a netsh line: dotted and colon-separated addresses, "none", and
// blanks, which the interpreter only reads as separators (a trailing one typed in a box).
bool IsPlainAddressText(const std::string& text) {
    for (char c : text) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == ':' || c == ' ';
        if (!ok)
            return false;
    }
    return true;
}

bool HasControl(const std::string& text) {
    for (char c : text) {
        if (IsControl(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

const char* const kRefused = "The profile cannot be applied. ";

std::string TooLong(const std::string& field) {
    return kRefused + field + " is longer than " + std::to_string(kMaxScriptFieldLength) +
           " characters.";
}

std::optional<std::string> CheckAddressField(const std::string& field, const std::string& value) {
    if (value.size() > kMaxScriptFieldLength)
        return TooLong("The " + field);
    if (!IsPlainAddressText(value))
        return kRefused + ("The " + field + " \"" + value + "\"") +
               " may hold only letters, digits, dots, colons and blanks.";
    return std::nullopt;
}

// The ANSI text in the console code page; `exact` is false when a character has no form there
// and became "?" (no best fit: it would turn U+203A into > after the escaping was done). false
// with the platform's error code when the conversion fails.
bool ToConsoleCodePage(const std::string& text, std::string& oem, bool& exact, DWORD& error) {
    oem.clear();
    exact = true;
    if (text.empty())
        return true;
    const int textSize = static_cast<int>(text.size());
    const int wideSize = MultiByteToWideChar(CP_ACP, 0, text.data(), textSize, nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideSize), L'\0');
    if (wideSize == 0 ||
        MultiByteToWideChar(CP_ACP, 0, text.data(), textSize, wide.data(), wideSize) == 0) {
        error = GetLastError();
        return false;
    }
    const UINT oemCp = GetOEMCP();
    // UTF-8 has a form for everything and refuses both the flag and the question.
    const bool utf8 = oemCp == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* lossyOut = utf8 ? nullptr : &lossy;
    const int oemSize =
        WideCharToMultiByte(oemCp, flags, wide.data(), wideSize, nullptr, 0, nullptr, lossyOut);
    oem.assign(static_cast<size_t>(oemSize), '\0');
    if (oemSize == 0 || WideCharToMultiByte(oemCp, flags, wide.data(), wideSize, oem.data(),
                                            oemSize, nullptr, lossyOut) == 0) {
        error = GetLastError();
        return false;
    }
    exact = !lossy;
    return true;
}

} // namespace

bool FitsConsoleCodePage(const std::string& text) {
    std::string oem;
    bool exact = false;
    DWORD error = 0;
    return ToConsoleCodePage(text, oem, exact, error) && exact;
}

std::string ProgressFolder(const std::string& folder) {
    if (FitsConsoleCodePage(folder))
        return folder;
    // A short name is made of characters the volume's OEM code page has.
    char shortPath[MAX_PATH] = {};
    const DWORD n = GetShortPathNameA(folder.c_str(), shortPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH && FitsConsoleCodePage(std::string(shortPath, n)))
        return std::string(shortPath, n);
    return ".";
}

std::vector<std::string> UsedPart(const std::vector<std::string>& list) {
    std::vector<std::string> used;
    for (const auto& element : list) {
        if (element.empty())
            break;
        used.push_back(element);
    }
    return used;
}

std::int32_t ApplyStepTotal(const ProfileRecord& profile) {
    size_t address = profile.DHCP != 0 ? 1 : UsedPart(profile.IP).size();
    return static_cast<std::int32_t>(address + 1 + UsedPart(profile.DNS).size());
}

std::string ScriptPath(const std::string& folder) {
    return folder + "\\" + kScriptFileName;
}

std::string ProgressPath(const std::string& folder) {
    return folder + "\\" + kProgressFileName;
}

std::string BuildProgressLine(std::int32_t step, std::int32_t total, const std::string& folder) {
    return "echo " + std::to_string(step) + "/" + std::to_string(total) + ">\"" +
           DoublePercent(ProgressPath(folder)) + "\"";
}

std::vector<std::string> BuildApplyScript(const ProfileRecord& profile, const std::string& folder,
                                          bool hasProfileArgument) {
    const std::int32_t total = ApplyStepTotal(profile);
    std::int32_t step = 0;
    const std::string connection = Quoted(profile.INTERFACE);

    std::vector<std::string> lines = {
        "@echo off",
        "echo Setting profile: " + EscapeForEcho(profile.NAME),
        "echo " + std::string(49, '-'),
        "echo.",
        "echo Wait...",
    };
    auto progress = [&] { lines.push_back(BuildProgressLine(++step, total, folder)); };

    if (profile.DHCP != 0) {
        progress();
        lines.push_back("netsh interface ip set address " + connection + " source=dhcp");
    } else {
        const auto addresses = UsedPart(profile.IP);
        for (size_t i = 0; i < addresses.size(); ++i) {
            progress();
            if (i == 0) {
                std::string line = "netsh interface ip set address " + connection +
                                   " source=static addr=" + addresses[i] +
                                   " mask=" + profile.SUBNET + " gateway=" + profile.GATEWAY;
                if (profile.GATEWAY != "none")
                    line += " gwmetric=" + std::to_string(profile.METRIC);
                lines.push_back(line);
            } else {
                lines.push_back("netsh interface ip add address " + connection + " " +
                                addresses[i] + " " + profile.SUBNET);
            }
        }
    }

    progress();
    lines.push_back("netsh interface ip set dns " + connection + " static none");
    for (const auto& server : UsedPart(profile.DNS)) {
        progress();
        lines.push_back("netsh interface ip add dns " + connection + " " + server);
    }

    if (!hasProfileArgument) {
        lines.push_back("echo ...done !!!");
        lines.push_back("echo.");
    }
    return lines;
}

std::optional<std::string> CheckProfileForScript(const ProfileRecord& profile) {
    // A control character in the name is refused rather than dropped, so that the banner shows
    // the name as it is stored.
    if (profile.NAME.size() > kMaxScriptFieldLength)
        return TooLong("The profile name");
    if (HasControl(profile.NAME))
        return std::string(kRefused) +
               "The profile name may not hold control characters such as line breaks or tabs.";

    if (profile.INTERFACE.size() > kMaxScriptFieldLength)
        return TooLong("The connection name");
    if (HasControl(profile.INTERFACE) || profile.INTERFACE.find('"') != std::string::npos)
        return std::string(kRefused) +
               "The connection name may not hold a double quote or control characters.";
    // netsh would read \" as a quote inside the name and take the rest of the line with it.
    if (!profile.INTERFACE.empty() && profile.INTERFACE.back() == '\\')
        return std::string(kRefused) + "The connection name may not end with a backslash.";
    // netsh would be handed another name, and fail unseen.
    if (!FitsConsoleCodePage(profile.INTERFACE))
        return std::string(kRefused) + "The connection name \"" + profile.INTERFACE +
               "\" holds characters that the command interpreter's code page (" +
               std::to_string(GetOEMCP()) + ") lacks.";

    // Only what the script will hold is checked.
    if (profile.DHCP == 0) {
        const auto addresses = UsedPart(profile.IP);
        for (const auto& address : addresses) {
            if (auto bad = CheckAddressField("IP address", address))
                return bad;
        }
        if (!addresses.empty()) {
            if (auto bad = CheckAddressField("subnet mask", profile.SUBNET))
                return bad;
            if (auto bad = CheckAddressField("gateway", profile.GATEWAY))
                return bad;
        }
    }
    for (const auto& server : UsedPart(profile.DNS)) {
        if (auto bad = CheckAddressField("DNS server", server))
            return bad;
    }
    return std::nullopt;
}

bool WriteScriptFile(const std::string& path, const std::vector<std::string>& lines,
                     std::string& error) {
    std::string text;
    for (const auto& line : lines) {
        if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            error = "A line of the apply script holds a line break.";
            return false;
        }
        if (line.size() > kMaxScriptLineLength) {
            error = "A line of the apply script is longer than the command interpreter reads.";
            return false;
        }
        text += line;
        text += "\r\n";
    }

    // The interpreter reads the script in the console code page. A character without an exact
    // form there becomes "?", which can only happen in the banner: the connection name and the
    // progress folder were made to fit before.
    std::string oem;
    bool exact = false;
    DWORD conversionError = 0;
    if (!ToConsoleCodePage(text, oem, exact, conversionError)) {
        error = base::SystemErrorText(conversionError);
        return false;
    }

    base::unique_file file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = base::SystemErrorText(GetLastError());
        return false;
    }
    // A script cut short must not be left for anyone to run.
    auto fail = [&](DWORD code) {
        error = base::SystemErrorText(code);
        file.reset();
        DeleteFileA(path.c_str());
        return false;
    };
    DWORD written = 0;
    const auto size = static_cast<DWORD>(oem.size());
    const BOOL wrote =
        platform::Current().WriteFile(file.get(), oem.data(), size, &written, nullptr);
    if (!wrote)
        return fail(GetLastError());
    if (written != oem.size())
        return fail(ERROR_DISK_FULL);
    if (!CloseHandle(file.release()))
        return fail(GetLastError());
    return true;
}
