#include "ini/ini_section.h"

#include "base/handle.h"
#include "base/platform.h"
#include "ini/modGestioneINI.h"

#include <windows.h>

#include <cstring>
#include <functional>

namespace {

// The per-key read's buffer: a value this long or longer comes back cut.
constexpr std::size_t kValueBuffer = 1024;
// Enough for the list section of some 2000 profiles: a load's every section read fits the
// buffer at the first call.
constexpr std::size_t kFirstBuffer = 64 * 1024;

// A list of NUL-ended strings from a call that fills the buffer it is given, the buffer grown
// until the list fits; nothing when it never fits. A list cut to the buffer comes back as the
// buffer's size less two, so that size says nothing either way.
std::optional<std::vector<std::string>> ReadList(const std::function<DWORD(char*, DWORD)>& call,
                                                 std::vector<char>& buffer) {
    constexpr std::size_t kLargest = 64 * 1024 * 1024;
    for (;;) {
        const auto size = static_cast<DWORD>(buffer.size());
        const DWORD got = call(buffer.data(), size);
        if (got + 2 < size) {
            std::vector<std::string> list;
            for (std::size_t i = 0; i < got; i += list.back().size() + 1)
                list.emplace_back(buffer.data() + i, strnlen(buffer.data() + i, got - i));
            return list;
        }
        if (buffer.size() >= kLargest)
            return std::nullopt;
        buffer.resize(buffer.size() * 4);
    }
}

std::vector<std::string> ReadSection(const std::string& section, const std::string& file,
                                     std::vector<char>& buffer) {
    auto lines = ReadList(
        [&](char* data, DWORD size) {
            return platform::Current().GetPrivateProfileSectionA(section.c_str(), data, size,
                                                                 file.c_str());
        },
        buffer);
    return lines ? std::move(*lines) : std::vector<std::string>();
}

bool IsAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Letters a to z only: the case the platform ignores in every code page for plain ASCII names.
std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// Every character that some reader may take off the ends of a name or a value: control
// characters and blanks, DEL, the no-break space, and the quotes the per-key read removes in
// pairs.
bool MayBeTrimmed(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F || u == 0xA0 || c == '"' || c == '\'';
}

std::string Trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && MayBeTrimmed(text[first]))
        ++first;
    while (last > first && MayBeTrimmed(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool Settles(const std::string& value) {
    if (value.size() >= kValueBuffer - 1)
        return false;
    if (!value.empty() && (MayBeTrimmed(value.front()) || MayBeTrimmed(value.back())))
        return false;
    // The presence test takes such a value for a missing key.
    const std::string& sentinel = IniAnsiSentinel();
    return value.compare(0, sentinel.size(), sentinel) != 0;
}

// A NUL or Ctrl-Z byte, or a carriage return without its line feed: the platform's readers end
// lines and files there in ways no documentation states.
bool ReadsKeyByKey(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\0' || c == '\x1A' ||
            (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            return true;
    }
    return false;
}

// The file's bytes; nothing when it exists and cannot be read.
std::optional<std::string> FileBytes(const std::string& path) {
    base::unique_file file(CreateFileA(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::string();
        return std::nullopt;
    }
    std::string bytes;
    char buffer[16 * 1024];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

} // namespace

std::vector<std::string> IniReadSection(const std::string& section, const std::string& file) {
    std::vector<char> buffer(kFirstBuffer);
    return ReadSection(section, file, buffer);
}

std::vector<std::string> IniSectionNames(const std::string& file) {
    std::vector<char> buffer(kFirstBuffer);
    auto names = ReadList(
        [&](char* data, DWORD size) {
            return platform::Current().GetPrivateProfileSectionNamesA(data, size, file.c_str());
        },
        buffer);
    return names ? std::move(*names) : std::vector<std::string>();
}

std::vector<std::string> IniKeyNames(const std::string& section, const std::string& file) {
    std::vector<char> buffer(kFirstBuffer);
    auto names = ReadList(
        [&](char* data, DWORD size) {
            return platform::Current().GetPrivateProfileStringA(section.c_str(), nullptr, "", data,
                                                                size, file.c_str());
        },
        buffer);
    return names ? std::move(*names) : std::vector<std::string>();
}

IniSettled::IniSettled(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::size_t equals = line.find('=');
        const std::string written = line.substr(0, equals);
        // Every name the line may stand for on some platform: its own without whatever a reader
        // may trim.
        const std::string name = Trimmed(written);
        if (!IsAscii(name)) {
            settlesNothing_ = true;
            keys_.clear();
            return;
        }
        const auto [entry, first] = keys_.try_emplace(AsciiUpper(name));
        if (first && equals != std::string::npos && written == name &&
            Settles(line.substr(equals + 1)))
            entry->second = line.substr(equals + 1);
        else
            entry->second.reset();
    }
}

const std::string* IniSettled::Text(const std::string& key) const {
    if (settlesNothing_)
        return nullptr;
    const auto entry = keys_.find(AsciiUpper(key));
    return entry != keys_.end() && entry->second ? &*entry->second : nullptr;
}

std::optional<std::int16_t> IniSettled::Number(const std::string& key) const {
    const std::string* text = Text(key);
    if (!text || text->empty() || text->size() > 5 || ((*text)[0] == '0' && text->size() > 1) ||
        text->find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int value = std::stoi(*text);
    if (value > INT16_MAX)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

IniSectionReader::IniSectionReader(const std::string& file, bool bySection)
    : file_(file), bySection_(bySection), buffer_(bySection ? kFirstBuffer : 0) {
    if (!bySection_)
        return;
    const std::optional<std::string> bytes = FileBytes(file_);
    if (!bytes || ReadsKeyByKey(*bytes)) {
        bySection_ = false;
        return;
    }
    std::unordered_set<std::string> seen;
    for (const std::string& name : IniSectionNames(file_)) {
        const std::string trimmed = Trimmed(name);
        if (!IsAscii(trimmed)) {
            bySection_ = false;
            return;
        }
        if (!seen.insert(AsciiUpper(trimmed)).second)
            doubled_.insert(AsciiUpper(trimmed));
    }
}

IniSettled IniSectionReader::Read(const std::string& section) {
    if (!bySection_ || doubled_.count(AsciiUpper(section)))
        return IniSettled();
    return IniSettled(ReadSection(section, file_, buffer_));
}

std::string IniGetString(const IniSettled& settled, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         const std::string& file) {
    if (const std::string* value = settled.Text(key))
        return *value;
    return IniGetString(section, key, defaultValue, file);
}

std::int16_t IniGetInt(const IniSettled& settled, const std::string& section,
                       const std::string& key, std::int16_t defaultValue, const std::string& file,
                       std::int16_t min, std::int16_t max) {
    const std::optional<std::int16_t> value = settled.Number(key);
    if (value && ((min == 0 && max == 0) || (*value >= min && *value <= max)))
        return *value;
    return IniGetInt(section, key, defaultValue, file, min, max);
}
