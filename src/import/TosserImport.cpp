#include "import/TosserImport.h"

#include <sys/stat.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "core/Address.h"
#include "core/Codepage.h"
#include "import/ConfigLines.h"
#include "import/DosPath.h"
#include "msgbase/BaseFactory.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool SameText(const std::string& a, const char* b) {
    return AnsiUpperCase(a) == AnsiUpperCase(b);
}

// Words separated by blanks; a double-quoted word may hold blanks and loses its quotes.
std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size()) break;
        std::string word;
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            const size_t end = close == std::string::npos ? line.size() : close;
            word = line.substr(i + 1, end - i - 1);
            i = close == std::string::npos ? end : close + 1;
        } else {
            const size_t start = i;
            while (i < line.size() && !IsBlank(line[i])) ++i;
            word = line.substr(start, i - start);
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string NormalAddress(const std::string& text) {
    uint16_t zone = 0, net = 0, node = 0, point = 0;
    ParseAddress(text, false, zone, net, node, point);
    return FormatAddress(zone, net, node, point);
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Runs `line` for every line of a regular file; false (with nothing read) when it is not one.
template <typename Visit>
bool ReadLines(const std::string& path, std::vector<std::string>& warnings, Visit line) {
    if (!IsRegularFile(path)) {
        warnings.push_back(path + Utf8ToAnsi(": файл не найден или не является обычным файлом"));
        return false;
    }
    try {
        TConfigLines lines;
        if (!lines.Open(path)) {
            warnings.push_back(path + Utf8ToAnsi(": файл не открывается"));
            return false;
        }
        std::string text;
        while (lines.Next(text)) line(text);
    } catch (const std::exception& error) {
        warnings.push_back(error.what());
    }
    return true;
}

// ---- fidoconfig ---------------------------------------------------------------------------------

class TFidoConfigReader {
public:
    TTosserConfig Config;

    void File(const std::string& path, int depth) {
        const std::string resolved = depth == 0 ? ResolveDosPath(path) : path;
        // The tosser takes every relative path of the set-up, included files' too, as seen from
        // where it runs: the folder of the main file.
        if (depth == 0) mainDir_ = ConfigFolder(resolved);
        std::error_code error;
        const std::string key = fs::weakly_canonical(resolved, error).string();
        if (open_.count(key) != 0) {
            Config.Warnings.push_back(resolved + Utf8ToAnsi(": повторное включение пропущено"));
            return;
        }
        if (depth > MaxIncludeDepth) {
            Config.Warnings.push_back(resolved + Utf8ToAnsi(": слишком глубокое вложение include"));
            return;
        }
        open_.insert(key);
        const std::string dir = ConfigFolder(resolved);
        ReadLines(resolved, Config.Warnings, [&](const std::string& line) { Line(line, dir, depth); });
        open_.erase(key);
    }

private:
    struct TCondition {
        bool Active;   // lines are taken
        bool Decided;  // a branch of this if was taken already
        bool Outer;    // the enclosing level was active
    };

    bool Active() const { return conditions_.empty() || conditions_.back().Active; }

    std::string StripComment(const std::string& line) const {
        for (size_t i = 0; i < line.size(); ++i)
            if (line[i] == commentChar_ && (i == 0 || IsBlank(line[i - 1]))) return line.substr(0, i);
        return line;
    }

    // [name] from "set" first, then the environment; an unknown name expands to nothing. Nullopt
    // when the expansion is longer than any configuration line: values made of a variable taken
    // twice ("set A=[A][A]") double on every line.
    std::optional<std::string> Expand(const std::string& line) const {
        std::string result;
        size_t i = 0;
        while (i < line.size()) {
            if (result.size() > TConfigLines::MaxLineLength) return std::nullopt;
            const size_t open = line.find('[', i);
            const size_t close = open == std::string::npos ? open : line.find(']', open + 1);
            if (close == std::string::npos) {
                result += line.substr(i);
                break;
            }
            result += line.substr(i, open - i);
            const std::string name = line.substr(open + 1, close - open - 1);
            if (const auto found = variables_.find(AnsiUpperCase(name)); found != variables_.end()) {
                result += found->second;
            } else if (const char* env = std::getenv(name.c_str())) {
                result += env;
            }
            i = close + 1;
        }
        if (result.size() > TConfigLines::MaxLineLength) return std::nullopt;
        return result;
    }

    // Expand for a line that is to be taken; an overlong expansion is a line to skip, with a warning.
    std::optional<std::string> ExpandLine(const std::string& text, const std::string& raw) {
        std::optional<std::string> expanded = Expand(text);
        if (!expanded)
            Config.Warnings.push_back(Utf8ToAnsi("строка после подстановки переменных слишком длинная: ") +
                                      raw.substr(0, 80));
        return expanded;
    }

    bool Condition(const std::string& expression) const {
        for (const char* op : {"==", "!="}) {
            const size_t at = expression.find(op);
            if (at == std::string::npos) continue;
            auto side = [](std::string text) {
                const auto words = Tokens(text);
                return words.empty() ? std::string() : words.front();
            };
            const bool equal = AnsiUpperCase(side(expression.substr(0, at))) ==
                               AnsiUpperCase(side(expression.substr(at + 2)));
            return op[0] == '=' ? equal : !equal;
        }
        return false;
    }

    bool Defined(const std::string& name) const {
        return variables_.count(AnsiUpperCase(name)) != 0 || std::getenv(name.c_str()) != nullptr;
    }

    void Line(const std::string& raw, const std::string& dir, int depth) {
        std::string line = StripComment(raw);
        const std::vector<std::string> head = Tokens(line);
        if (head.empty()) return;
        const std::string keyword = AnsiUpperCase(head.front());
        const size_t restAt =
            line.find_first_not_of(" \t", line.find_first_of(" \t", line.find_first_not_of(" \t")));
        const std::string rest = restAt == std::string::npos ? std::string() : line.substr(restAt);

        // Conditionals are followed even inside branches not taken, to keep their nesting.
        if (keyword == "IF" || keyword == "IFDEF" || keyword == "IFNDEF") {
            const bool outer = Active();
            bool taken = false;
            if (outer) {
                const std::string expanded = ExpandLine(rest, raw).value_or(std::string());
                const auto words = Tokens(expanded);
                if (keyword == "IF") taken = Condition(expanded);
                if (keyword == "IFDEF") taken = !words.empty() && Defined(words.front());
                if (keyword == "IFNDEF") taken = !words.empty() && !Defined(words.front());
            }
            conditions_.push_back({outer && taken, taken, outer});
            return;
        }
        if (keyword == "ELSEIF" || keyword == "ELIF" || keyword == "ELSE") {
            if (conditions_.empty()) return;
            TCondition& top = conditions_.back();
            const bool taken = !top.Decided && (keyword == "ELSE" ||
                                                Condition(ExpandLine(rest, raw).value_or(std::string())));
            top.Active = top.Outer && taken;
            top.Decided = top.Decided || taken;
            return;
        }
        if (keyword == "ENDIF") {
            if (!conditions_.empty()) conditions_.pop_back();
            return;
        }
        if (!Active()) return;

        if (line.find('`') != std::string::npos) {
            Config.Warnings.push_back(Utf8ToAnsi("команда в обратных кавычках не выполнена: ") + raw);
            // The command stays as written; the rest of the line still counts.
        }
        std::optional<std::string> expanded = ExpandLine(line, raw);
        if (!expanded) return;
        line = std::move(*expanded);
        const std::vector<std::string> words = Tokens(line);
        if (words.empty()) return;

        if (keyword == "SET") {
            const std::optional<std::string> expandedRest = Expand(rest);
            if (!expandedRest) return;
            const std::string& assignment = *expandedRest;
            const size_t equals = assignment.find('=');
            const std::string name = AnsiUpperCase(assignment.substr(0, equals));
            if (equals == std::string::npos) {
                variables_.erase(name);
            } else {
                const auto value = Tokens(assignment.substr(equals + 1));
                variables_[name] = value.empty() ? std::string() : value.front();
            }
        } else if (keyword == "COMMENTCHAR") {
            if (words.size() >= 2 && !words[1].empty()) commentChar_ = words[1].front();
        } else if (keyword == "INCLUDE") {
            if (words.size() < 2) return;
            // A file may include the same parts many times over at every level; without a bound the
            // reads would multiply level by level. Refused includes count too, each costs a lookup.
            if (++includes_ > MaxIncludes) {
                if (includes_ == MaxIncludes + 1)
                    Config.Warnings.push_back(Utf8ToAnsi("слишком много строк include, остальные пропущены"));
                return;
            }
            // Relative to the main file's folder; else, as set-ups that keep their parts together
            // write it, to the including file's.
            std::string target = ResolveConfigPath(words[1], mainDir_);
            if (!IsRegularFile(target)) {
                const std::string beside = ResolveConfigPath(words[1], dir);
                if (IsRegularFile(beside)) target = beside;
            }
            File(target, depth + 1);
        } else if (keyword == "ECHOTOSSLOG") {
            if (words.size() >= 2) Config.EchoTossLog = ResolveConfigPath(words[1], mainDir_);
        } else if (keyword == "ADDRESS") {
            if (words.size() >= 2) Config.Addresses.push_back(NormalAddress(words[1]));
        } else if (keyword == "ECHOAREADEFAULT") {
            echoDefault_.assign(words.begin() + 1, words.end());
            if (echoDefault_.size() == 1 && SameText(echoDefault_.front(), "off")) echoDefault_.clear();
        } else if (keyword == "ECHOAREA" || keyword == "LOCALAREA") {
            Area(words, false, true);
        } else if (keyword == "NETMAILAREA") {
            Area(words, true, false);
        } else if (keyword == "BADAREA" || keyword == "DUPEAREA") {
            Area(words, false, false);
        }
    }

    // "<keyword> <tag> <path> [-b msg|squish|jam|passthrough] [-a <aka>] [-d <description>] ..."
    void Area(const std::vector<std::string>& words, bool netmail, bool echo) {
        if (words.size() < 3) return;
        std::vector<std::string> options;
        if (echo) options = echoDefault_;
        options.insert(options.end(), words.begin() + 3, words.end());
        int kind = BaseKindMsg;
        std::string aka;
        std::string description;
        bool passThrough = SameText(words[2], "passthrough");
        for (size_t i = 0; i < options.size(); ++i) {
            const std::string option = AnsiUpperCase(options[i]);
            const bool hasValue = i + 1 < options.size();
            if (option == "-PASS") {
                passThrough = true;
            } else if (option == "-B" && hasValue) {
                const std::string type = AnsiUpperCase(options[++i]);
                passThrough = type == "PASSTHROUGH";
                if (type == "SQUISH") kind = BaseKindSquish;
                if (type == "JAM") kind = BaseKindJam;
                if (type == "MSG") kind = BaseKindMsg;
            } else if (option == "-A" && hasValue) {
                aka = NormalAddress(options[++i]);
            } else if (option == "-D" && hasValue) {
                description = ConfigText(options[++i]);
            }
        }
        if (passThrough) return;
        TImportedArea area;
        area.Name = words[1];
        area.AreaName = words[1];
        area.Kind = kind;
        area.Path = ResolveAreaPathFrom(kind, words[2], mainDir_);
        area.Description = description;
        area.UseAKA = !aka.empty() ? aka : (Config.Addresses.empty() ? "" : Config.Addresses.front());
        area.IsNetmail = netmail;
        Config.Areas.push_back(std::move(area));
    }

    std::set<std::string> open_;
    int includes_ = 0;  // include lines taken so far
    std::map<std::string, std::string> variables_;
    std::vector<TCondition> conditions_;
    std::vector<std::string> echoDefault_;
    char commentChar_ = '#';
    std::string mainDir_;
};

}  // namespace

TTosserConfig ReadFidoConfig(const std::string& file) {
    TFidoConfigReader reader;
    reader.File(file, 0);
    return std::move(reader.Config);
}

TTosserConfig ReadCrashMailPrefs(const std::string& file) {
    TTosserConfig config;
    const std::string prefs = ResolveDosPath(file);
    // crashmail takes relative paths from where it runs: the folder of its prefs.
    const std::string baseDir = ConfigFolder(prefs);
    // The area a DESCRIPTION line belongs to: the one its AREA line made, none after a line that
    // made no area (pass-through, a template).
    bool lastMadeArea = false;
    ReadLines(prefs, config.Warnings, [&](const std::string& line) {
        const auto words = Tokens(line);
        if (words.empty() || words.front().starts_with('#') || words.front().starts_with(';')) return;
        const std::string keyword = AnsiUpperCase(words.front());
        if (keyword == "AKA") {
            if (words.size() >= 2) config.Addresses.push_back(NormalAddress(words[1]));
            return;
        }
        if (keyword == "DESCRIPTION") {
            if (lastMadeArea && words.size() >= 2) config.Areas.back().Description = ConfigText(words[1]);
            return;
        }
        if (keyword != "AREA" && keyword != "NETMAIL") return;
        lastMadeArea = false;
        // AREA "<tag>" <aka> <MSG|JAM> "<path>"; without a base type the area is pass-through.
        if (words.size() < 5) return;
        const std::string tag = words[1];
        // "DEFAULT" and "DEFAULT_<group>" are templates for areas added later, not areas.
        if (AnsiUpperCase(tag).rfind("DEFAULT", 0) == 0) return;
        const std::string type = AnsiUpperCase(words[3]);
        int kind = 0;
        if (type == "MSG") kind = BaseKindMsg;
        if (type == "JAM") kind = BaseKindJam;
        if (kind == 0 || words[4].empty()) return;
        TImportedArea area;
        area.Name = tag;
        area.AreaName = tag;
        area.Kind = kind;
        area.Path = ResolveAreaPathFrom(kind, words[4], baseDir);
        area.UseAKA = NormalAddress(words[2]);
        area.IsNetmail = keyword == "NETMAIL";
        config.Areas.push_back(std::move(area));
        lastMadeArea = true;
    });
    return config;
}

void StoreTosserAreas(const TTosserConfig& config, TAreaInfo& container) {
    for (const TImportedArea& area : config.Areas) StoreArea(container, area);
}

}  // namespace pelmar
