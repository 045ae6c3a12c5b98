// pelmar-tool: dumps and posts messages of a base from the command line.
//
//   pelmar-tool dump --kind msg|squish|jam|hudson PATH [--netmail] [--board N] [--headers]
//   pelmar-tool post --kind KIND PATH --from NAME --to NAME --subject TEXT [--orig ADDR] [--dest ADDR]
//                    [--reply MSGID] [--netmail] [--attr NAMES] [--board N] [--create] [--file BODY.txt]
//   pelmar-tool send, uu decode, areas list, areas add: see LetterVerbs.cpp
//
// Text on the command line, in the body file and in the output is UTF-8. Exit codes: 0 success,
// 1 bad usage, missing base or failed write, 3 when some messages of a dump could not be read (they
// are reported on stderr and the dump goes on).
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Json.h"
#include "cli/LetterVerbs.h"
#include "core/Address.h"
#include "core/Codepage.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"

namespace {

using namespace pelmar;
using cli::TJsonLine;

constexpr const char* Usage =
    "usage:\n"
    "  pelmar-tool dump --kind msg|squish|jam|hudson PATH [--netmail] [--board N] [--headers]\n"
    "  pelmar-tool post --kind msg|squish|jam|hudson PATH --from NAME --to NAME --subject TEXT\n"
    "                   [--orig ADDR] [--dest ADDR] [--reply MSGID] [--netmail] [--attr NAMES]\n"
    "                   [--board N] [--create] [--file BODY.txt]   (the body is read from stdin\n"
    "                   without --file; NAMES: Local KillSent Sent Crash Direct RqRcpt ReqAudit\n"
    "                   RetRcpt FileAttach)\n";

struct TOptions {
    std::string Command;
    std::string Path;
    std::map<std::string, std::string> Values;  // "--name" -> value
    bool Netmail = false;
    bool Headers = false;
    bool Create = false;

    bool Has(const std::string& name) const { return Values.count(name) != 0; }
    std::string Get(const std::string& name) const {
        const auto it = Values.find(name);
        return it == Values.end() ? std::string() : it->second;
    }
};

// Errors of the tool itself; their text is UTF-8 already (base errors carry CP1251 text).
struct TToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct TUsageError : TToolError {
    using TToolError::TToolError;
};

TOptions ParseOptions(int argc, char** argv) {
    static const char* const withValue[] = {"--kind", "--board", "--from", "--to",   "--subject",
                                            "--orig", "--dest",  "--attr", "--file", "--reply"};
    TOptions options;
    if (argc < 2) throw TUsageError("no command given");
    options.Command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--netmail") {
            options.Netmail = true;
        } else if (arg == "--headers") {
            options.Headers = true;
        } else if (arg == "--create") {
            options.Create = true;
        } else if (arg.rfind("--", 0) == 0) {
            bool known = false;
            for (const char* name : withValue) known = known || arg == name;
            if (!known) throw TUsageError("unknown option " + arg);
            if (i + 1 >= argc) throw TUsageError(arg + " needs a value");
            options.Values[arg] = argv[++i];
        } else if (options.Path.empty()) {
            options.Path = arg;
        } else {
            throw TUsageError("unexpected argument " + arg);
        }
    }
    if (options.Path.empty()) throw TUsageError("no base path given");
    return options;
}

int KindNumber(const std::string& kind) {
    if (kind == "msg") return BaseKindMsg;
    if (kind == "jam") return BaseKindJam;
    if (kind == "hudson") return BaseKindHudson;
    if (kind == "squish") return BaseKindSquish;
    throw TUsageError("unknown --kind '" + kind + "' (msg, squish, jam or hudson)");
}

// The base path as the format expects it: Hudson takes the board number as its first character.
std::string BasePath(const TOptions& options, int kind) {
    if (kind != BaseKindHudson) return Utf8ToAnsi(options.Path);
    int board = 0;
    try {
        board = std::stoi(options.Get("--board"));
    } catch (const std::exception&) {
        throw TUsageError("hudson bases need --board N (1..200)");
    }
    if (board < 1 || board > 200) throw TUsageError("--board must be 1..200");
    return std::string(1, static_cast<char>(board)) + Utf8ToAnsi(options.Path);
}

std::unique_ptr<TMessageBase> OpenBase(const TOptions& options) {
    if (!options.Has("--kind")) throw TUsageError("--kind is required");
    const int kind = KindNumber(options.Get("--kind"));
    auto base = CreateMessageBase(kind);
    if (!base) throw TToolError("this build cannot open bases of kind " + options.Get("--kind"));
    base->SetPath(BasePath(options, kind));
    if (options.Create) base->CreateBase();
    base->Open();
    if (!base->Active) throw TToolError("cannot open the base at " + options.Path);
    base->Netmail = options.Netmail;
    return base;
}

std::string IsoDate(TDateTime date) {
    int year, month, day, hour, minute, second;
    DecodeDateTime(date, year, month, day, hour, minute, second);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

// Body lines joined by "\n", without the final line end.
std::string BodyText(const std::string& text) {
    std::string body = AnsiToUtf8(text);
    if (!body.empty() && body.back() == '\r') body.pop_back();
    for (auto& c : body) {
        if (c == '\r') c = '\n';
    }
    return body;
}

std::vector<std::string> Utf8Lines(const std::vector<std::string>& lines) {
    std::vector<std::string> result;
    result.reserve(lines.size());
    for (const auto& line : lines) result.push_back(AnsiToUtf8(line));
    return result;
}

std::vector<std::string> AttrNameList(uint16_t attr) {
    std::vector<std::string> names;
    for (int bit = 0; bit < AttrCount; ++bit) {
        if (attr & (1u << bit)) names.emplace_back(AttrNames[bit]);
    }
    return names;
}

std::string DumpLine(TMessageBase& base, bool headersOnly) {
    const int32_t position = base.Current;
    TJsonLine json;
    if (headersOnly) {
        base.ReadHeader();
    } else {
        // ReadToAndRead first: the *.MSG base keeps the read mark out of ReadMessage.
        base.ReadToAndRead();
        base.ReadMessage(position);
    }
    json.Add("position", static_cast<long long>(position));
    json.Add("from", AnsiToUtf8(base.FromName));
    json.Add("to", AnsiToUtf8(base.ToName));
    json.Add("subject", AnsiToUtf8(base.Subject));
    json.Add("date", IsoDate(base.Date));
    json.Add("orig", AnsiToUtf8(base.OrigAddr));
    json.Add("dest", AnsiToUtf8(base.DestAddr));
    if (!headersOnly) json.Add("attr", AttrNameList(base.Attr));
    json.Add("read", base.Read);
    json.Add("msgid", AnsiToUtf8(base.MsgId));
    json.Add("reply", AnsiToUtf8(base.ReplyId));
    json.Add("kludges", Utf8Lines(base.Kludges));
    if (!headersOnly) json.Add("text", BodyText(base.Text));
    return json.Text();
}

int Dump(const TOptions& options) {
    auto base = OpenBase(options);
    int failures = 0;
    for (bool more = base->First(); more; more = base->Next()) {
        try {
            std::cout << DumpLine(*base, options.Headers) << '\n';
        } catch (const std::exception& e) {
            ++failures;
            std::cerr << "pelmar-tool: message at position " << base->Current << ": " << AnsiToUtf8(e.what())
                      << '\n';
        }
    }
    std::cout.flush();
    return failures == 0 ? 0 : 3;
}

std::string ReadBody(const TOptions& options) {
    std::string bytes;
    if (options.Has("--file")) {
        std::ifstream in(options.Get("--file"), std::ios::binary);
        if (!in) throw TToolError("cannot read " + options.Get("--file"));
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    }
    // Stored lines end with CR alone.
    std::string text = Utf8ToAnsi(bytes);
    std::string body;
    body.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        body += text[i] == '\n' ? '\r' : text[i];
    }
    if (!body.empty() && body.back() != '\r') body += '\r';
    return body;
}

std::string CheckedAddress(const TOptions& options, const std::string& name) {
    const std::string address = options.Get(name);
    if (!address.empty() && !IsValidAddress(address)) {
        throw TUsageError("bad address for " + name + ": '" + address + "'");
    }
    return address;
}

int Post(const TOptions& options) {
    for (const char* required : {"--from", "--to", "--subject"}) {
        if (!options.Has(required)) throw TUsageError(std::string(required) + " is required");
    }
    const std::string orig = CheckedAddress(options, "--orig");
    const std::string dest = CheckedAddress(options, "--dest");
    uint16_t attr = 0;
    if (!ParseAttrText(options.Get("--attr"), attr)) {
        throw TUsageError("unknown attribute in '" + options.Get("--attr") + "'");
    }
    const std::string body = ReadBody(options);

    auto base = OpenBase(options);
    base->NewMessage();
    base->FromName = Utf8ToAnsi(options.Get("--from"));
    base->ToName = Utf8ToAnsi(options.Get("--to"));
    base->Subject = Utf8ToAnsi(options.Get("--subject"));
    base->OrigAddr = orig;
    base->DestAddr = dest;
    base->Date = NowLocal();
    base->Attr = attr;
    base->Read = false;
    if (!orig.empty()) base->Kludges.push_back("MSGID: " + FormatMsgId(orig, NewMsgIdSerial()));
    if (options.Has("--reply")) base->Kludges.push_back("REPLY: " + Utf8ToAnsi(options.Get("--reply")));
    base->Kludges.emplace_back("PID: Plm 1.0");
    base->Text = body;
    if (!base->WriteMessage()) throw TToolError("the message could not be written");
    std::cout << base->Current << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << Usage << pelmar::cli::LetterVerbsUsage;
        return 0;
    }
    if (pelmar::cli::IsLetterVerb(argc, argv)) return pelmar::cli::RunLetterVerb(argc, argv);
    try {
        const TOptions options = ParseOptions(argc, argv);
        if (options.Command == "dump") return Dump(options);
        if (options.Command == "post") return Post(options);
        throw TUsageError("unknown command '" + options.Command + "'");
    } catch (const TUsageError& e) {
        std::cerr << "pelmar-tool: " << e.what() << '\n' << Usage;
        return 1;
    } catch (const TToolError& e) {
        std::cerr << "pelmar-tool: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "pelmar-tool: " << AnsiToUtf8(e.what()) << '\n';
        return 1;
    }
}
