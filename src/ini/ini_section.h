#pragma once
// Reading a profile file a section at a time. Each per-key call finds its key in the file afresh,
// so a file of many keys is read far faster by sections; the per-key calls remain for every key
// whose value the section's text does not settle, and they write the defaults as before.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The lines of a section as the platform's section read returns them: "key=value", or a line
// without "=" as it stands. Empty when the file or the section is missing.
std::vector<std::string> IniReadSection(const std::string& section, const std::string& file);

// The keys a section's lines settle, each with exactly the value the per-key read returns for it.
// A line settles its key only where no reader's handling of blanks, quotes, repeated names or
// long values could make the per-key read answer otherwise: the one line of that name, with "=",
// no blank, control character or quote at either end of name or value, and a value shorter than
// the per-key read's buffer that does not begin with the presence test's sentinel.
class IniSettled {
public:
    // Settles nothing: every key goes to the per-key read.
    IniSettled() = default;
    explicit IniSettled(const std::vector<std::string>& lines);

    // The value of a settled key, else nullptr.
    const std::string* Text(const std::string& key) const;
    // A settled value in plain decimal digits within 0..32767, a form every integer reader reads
    // alike; signs, prefixes and leading zeros are left to the platform.
    std::optional<std::int16_t> Number(const std::string& key) const;

private:
    // By name in upper case; empty where the name stands on a line that settles nothing.
    std::unordered_map<std::string, std::optional<std::string>> keys_;
    // A line whose name the platform may take for any of ours (one outside plain ASCII).
    bool settlesNothing_ = false;
};

// Reads one file's sections for the getters below. A file or section whose text the section read
// might give otherwise than the per-key reads settles nothing: a file holding a NUL or Ctrl-Z
// byte or a carriage return without its line feed, a section whose name stands twice, any
// section when one name lies outside plain ASCII.
class IniSectionReader {
public:
    // With bySection false, every read settles nothing: the load of one key at a time.
    IniSectionReader(const std::string& file, bool bySection);
    IniSettled Read(const std::string& section);

private:
    std::string file_;
    bool bySection_;
    // Upper-case names of the sections that stand twice.
    std::unordered_set<std::string> doubled_;
    // Kept from read to read: grown once, it holds every later section.
    std::vector<char> buffer_;
};

// The names of the file's sections, and of one section's keys, as the platform lists them.
std::vector<std::string> IniSectionNames(const std::string& file);
std::vector<std::string> IniKeyNames(const std::string& section, const std::string& file);

// IniGetString and IniGetInt that take a settled value as it stands and ask the platform, with
// the write of the default, for everything else.
std::string IniGetString(const IniSettled& settled, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         const std::string& file);
std::int16_t IniGetInt(const IniSettled& settled, const std::string& section,
                       const std::string& key, std::int16_t defaultValue, const std::string& file,
                       std::int16_t min, std::int16_t max);
