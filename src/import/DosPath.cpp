#include "import/DosPath.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "msgbase/BaseFactory.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Tossers on Linux write lower-case names; ASCII folding only, so UTF-8 names are never confused.
bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool Exists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::exists(path, error);
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// The name of the entry of `dir` that equals `wanted` ignoring case: the exact spelling when it
// exists, else the first such name in byte order (so the choice does not depend on the listing).
std::optional<std::string> MatchEntry(const std::string& dir, const std::string& wanted) {
    const std::string listed = dir.empty() ? "." : dir;
    if (Exists(Join(listed, wanted))) return wanted;
    std::optional<std::string> best;
    std::error_code error;
    for (fs::directory_iterator it(listed, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (SameNoCase(name, wanted) && (!best || name < *best)) best = name;
    }
    return best;
}

// A DOS or Windows path taken apart: where the walk starts and the names to match below it.
struct TPathParts {
    std::string Start;  // "" for a relative path, "/" or the drive root otherwise
    std::vector<std::string> Names;
    bool Trailing = false;  // the path ended with a separator
};

TPathParts SplitPath(std::string path, const std::string& root) {
    std::replace(path.begin(), path.end(), '\\', '/');
    TPathParts parts;
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        parts.Start = root;
        path.erase(0, 2);
    } else if (!path.empty() && path.front() == '/') {
        parts.Start = "/";
    }
    parts.Trailing = !path.empty() && path.back() == '/';
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find('/', begin);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(begin, end - begin);
        if (!name.empty() && name != ".") parts.Names.push_back(name);
        begin = end + 1;
    }
    return parts;
}

// Walks the first `count` names of `parts`; nothing when one of them has no match.
std::optional<std::string> WalkFolders(const TPathParts& parts, size_t count) {
    std::string current = parts.Start;
    for (size_t i = 0; i < count; ++i) {
        const std::string& name = parts.Names[i];
        if (name == "..") {
            current = Join(current, name);
            continue;
        }
        const auto match = MatchEntry(current, name);
        if (!match) return std::nullopt;
        current = Join(current, *match);
    }
    return current;
}

// A JAM or Squish base exists when its main file does, the file name in any letter case (the base
// classes open it that way).
bool BaseExists(const std::string& baseName, const std::string& extension) {
    const fs::path full(baseName);
    const std::string dir = full.has_parent_path() ? full.parent_path().string() : std::string(".");
    std::error_code error;
    if (!fs::is_directory(dir, error)) return false;
    return MatchEntry(dir, full.filename().string() + extension).has_value();
}

std::string ResolveBaseName(const std::string& baseName, const std::string& extension,
                            const std::string& root) {
    if (baseName.empty() || BaseExists(baseName, extension)) return baseName;
    const TPathParts parts = SplitPath(baseName, root);
    if (parts.Names.empty() || parts.Trailing) return baseName;
    const auto dir = WalkFolders(parts, parts.Names.size() - 1);
    if (!dir) return baseName;
    const auto file = MatchEntry(*dir, parts.Names.back() + extension);
    if (!file) return baseName;
    return Join(*dir, file->substr(0, file->size() - extension.size()));
}

bool IsRelative(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.front() == '\\') return false;
    return !(path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':');
}

std::string Normal(const std::string& path) {
    return fs::path(path).lexically_normal().string();
}

// `resolve` applied to `path` as written in a file of `baseDir`.
template <typename Resolve>
std::string FromFolder(const std::string& path, const std::string& baseDir, Resolve resolve) {
    if (!IsRelative(path)) return resolve(path);
    const std::string joined = Join(baseDir, path);
    std::string resolved = resolve(joined);
    // Not on the disk (yet): a DOS relative path still names the same place below the folder.
    if (resolved == joined) std::replace(resolved.begin(), resolved.end(), '\\', '/');
    return Normal(resolved);
}

}  // namespace

std::string ResolveDosPath(const std::string& path, const std::string& root) {
    if (path.empty() || Exists(path)) return path;
    const TPathParts parts = SplitPath(path, root);
    if (parts.Start.empty() && parts.Names.empty()) return path;
    auto resolved = WalkFolders(parts, parts.Names.size());
    if (!resolved || !Exists(*resolved)) return path;
    if (parts.Trailing && resolved->back() != '/') *resolved += '/';
    return *resolved;
}

std::string ResolveAreaPath(int kind, const std::string& path, const std::string& root) {
    switch (kind) {
        case BaseKindMsg:
            return ResolveDosPath(path, root);
        case BaseKindHudson:
            // One character of board number, then the folder of the base.
            if (path.size() < 2) return path;
            return path.substr(0, 1) + ResolveDosPath(path.substr(1), root);
        case BaseKindJam:
            return ResolveBaseName(path, ".jhr", root);
        case BaseKindSquish:
            return ResolveBaseName(path, ".sqd", root);
        default:
            return path;
    }
}

std::string ResolveConfigPath(const std::string& path, const std::string& baseDir, const std::string& root) {
    return FromFolder(path, baseDir, [&](const std::string& p) { return ResolveDosPath(p, root); });
}

std::string ResolveAreaPathFrom(int kind, const std::string& path, const std::string& baseDir,
                                const std::string& root) {
    if (kind == BaseKindHudson) {
        // One character of board number, then the folder of the base.
        if (path.size() < 2) return path;
        return path.substr(0, 1) + ResolveConfigPath(path.substr(1), baseDir, root);
    }
    return FromFolder(path, baseDir, [&](const std::string& p) { return ResolveAreaPath(kind, p, root); });
}

std::string ConfigFolder(const std::string& file) {
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(file), error);
    if (error) absolute = fs::path(file);
    return absolute.lexically_normal().parent_path().string();
}

}  // namespace pelmar
