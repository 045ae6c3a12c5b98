#include "import/AreaImport.h"

#include <algorithm>
#include <memory>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "import/AreasBbsImport.h"
#include "import/FastEchoImport.h"
#include "import/SquishCfgImport.h"
#include "import/TMailImport.h"
#include "import/TosserImport.h"
#include "platform/RegistryFile.h"

namespace pelmar {

std::string ProperCaseName(const std::string& name) {
    std::string result = AnsiLowerCase(name);
    for (size_t i = 0; i < result.size(); ++i) {
        if (i == 0 || result[i - 1] == '.') result[i] = AnsiUpper(result[i]);
    }
    return result;
}

TAreaInfo& FindOrAddFolder(TAreaInfo& level, const std::string& name) {
    if (TAreaInfo* found = level.FindChild(name)) {
        found->Change([](TAreaInfo& entry) { entry.Kind = AreaKindFolder; });
        return *found;
    }
    TAreaFields folder;
    folder.Name = name;
    return *level.AddChild(folder);
}

void StoreArea(TAreaInfo& level, const TImportedArea& area) {
    if (area.Name.empty()) return;
    TAreaFields fields;
    fields.Name = area.Name;
    fields.Kind = area.Kind;
    fields.Path = area.Path;
    fields.AreaName = area.AreaName;
    fields.Description = area.Description;
    fields.UseAKA = area.UseAKA;
    fields.IsNetmail = area.IsNetmail;
    TAreaInfo* found = level.FindChild(area.Name);
    if (found == nullptr) {
        level.AddChild(fields);
        return;
    }
    found->Change([&fields](TAreaInfo& entry) {
        entry.Kind = fields.Kind;
        entry.Path = fields.Path;
        entry.AreaName = fields.AreaName;
        entry.Description = fields.Description;
        entry.UseAKA = fields.UseAKA;
        entry.IsNetmail = fields.IsNetmail;
    });
}

std::string ConfigText(const std::string& text) {
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
    return !ascii && reg::IsValidUtf8(text) ? Utf8ToAnsi(text) : text;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Calls visit(start, length) for every word until it returns false.
template <typename Visit>
void ForEachWord(std::string_view line, Visit visit) {
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        if (i > start && !visit(start, i - start)) return;
    }
}

}  // namespace

std::vector<std::string> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    ForEachWord(line, [&](size_t start, size_t length) {
        words.emplace_back(line.substr(start, length));
        return true;
    });
    return words;
}

size_t WordStart(std::string_view line, size_t index) {
    size_t found = std::string_view::npos;
    size_t seen = 0;
    ForEachWord(line, [&](size_t start, size_t) {
        if (seen++ < index) return true;
        found = start;
        return false;
    });
    return found;
}

bool IsCommentOrEmpty(const std::string& line) {
    return line.empty() || line.front() == ';';
}

void RegisterAreaImporters() {
    SetAreaImporter(LinkKindFastEcho, [](const TLinkedImport& request, TAreaInfo& container) {
        // Read 0 asks for names split at dots; links the program makes store 1.
        ImportFastEchoConfig(request.Path, container, request.Options == 0);
    });
    SetAreaImporter(LinkKindSquish, [](const TLinkedImport& request, TAreaInfo& container) {
        ImportSquishConfig(request.Path, container, (request.Options & 1) != 0, (request.Options & 2) != 0,
                           (request.Options & 4) != 0);
    });
    SetAreaImporter(LinkKindTMail, [](const TLinkedImport& request, TAreaInfo& container) {
        ImportTMailConfig(request.Path, container);
    });
    SetAreaImporter(LinkKindAreasBbs, [](const TLinkedImport& request, TAreaInfo& container) {
        ImportAreasBbs(request.Path, container, request.Description);
    });
    SetAreaImporter(LinkKindFidoConfig, [](const TLinkedImport& request, TAreaInfo& container) {
        StoreTosserAreas(ReadFidoConfig(request.Path), container);
    });
    SetAreaImporter(LinkKindCrashMail, [](const TLinkedImport& request, TAreaInfo& container) {
        StoreTosserAreas(ReadCrashMailPrefs(request.Path), container);
    });
}

}  // namespace pelmar
