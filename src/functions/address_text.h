#pragma once
// A list of addresses (or DNS servers) as a multi-line box shows it: one element per line.
#include <string>
#include <vector>

// The list with one empty element: no addresses, no servers. The program stores it for an
// empty box, and loads it where the file has none.
const std::vector<std::string>& NoAddresses();

// The box's text as a list: every CR LF separates two elements (so two in a row give an empty
// one, and one at the end an empty last one); an empty text is NoAddresses().
std::vector<std::string> AddressesFromText(const std::string& text);

// The list as the box shows it: the elements one per line, no line break after the last.
std::string TextFromAddresses(const std::vector<std::string>& list);
