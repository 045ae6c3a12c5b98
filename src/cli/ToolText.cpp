#include "cli/ToolText.h"

#include <fstream>
#include <iostream>
#include <iterator>

#include "core/Codepage.h"

namespace pelmar {

std::string ToolIn(const std::string& utf8) {
    return OemToAnsi(Utf8ToOem(utf8));
}

std::string ToolOut(const std::string& ansi) {
    return OemToUtf8(AnsiToOem(ansi));
}

std::string StoredBody(const std::string& utf8) {
    const std::string text = ToolIn(utf8);
    std::string body;
    body.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        body += text[i] == '\n' ? '\r' : text[i];
    }
    if (!body.empty() && body.back() != '\r') body += '\r';
    return body;
}

bool ReadAllText(const std::string& path, std::string& bytes) {
    if (path.empty()) {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace pelmar
