// The list of folders that stand in for discs.
#include "platform/ExtraDrives.h"

namespace korvane {

std::vector<std::pair<char, std::string>> ParseExtraDrives(const std::string& list) {
    std::vector<std::pair<char, std::string>> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        const std::string part = list.substr(start, end - start);
        if (part.size() >= 3 && part[1] == '=') {
            char letter = part[0];
            if (letter >= 'a' && letter <= 'z') letter = char(letter - 'a' + 'A');
            if (letter >= 'C' && letter <= 'Z') out.emplace_back(letter, part.substr(2));
        }
        start = end + 1;
    }
    return out;
}

}  // namespace korvane
