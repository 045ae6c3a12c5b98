#include "nodelist/NodelistNames.h"

#include <cctype>

namespace pelmar {

std::vector<std::string> NodelistFilePatterns() {
    std::vector<std::string> patterns;
    for (const char* upper : {"NODELIST.*", "*.NDL", "PNT*.*", "POINTS*.*"}) {
        std::string lower = upper;
        std::string capitalised = upper;
        bool first = true;
        for (size_t i = 0; i < lower.size(); ++i) {
            lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[i])));
            if (std::isalpha(static_cast<unsigned char>(capitalised[i]))) {
                if (!first) capitalised[i] = lower[i];
                first = false;
            }
        }
        for (const std::string& pattern : {std::string(upper), lower, capitalised}) {
            bool seen = false;
            for (const std::string& had : patterns) seen = seen || had == pattern;
            if (!seen) patterns.push_back(pattern);
        }
    }
    return patterns;
}

std::string NodelistDialogFilter() {
    std::string list;
    for (const std::string& pattern : NodelistFilePatterns()) list += (list.empty() ? "" : " ") + pattern;
    return "Списки узлов (" + list + ");;Все файлы (*)";
}

}  // namespace pelmar
