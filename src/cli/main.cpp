// pelmar-tool: dumps and posts messages of a base from the command line.
//
//   pelmar-tool dump --kind msg|squish|jam|hudson PATH [--netmail] [--board N] [--headers]
//   pelmar-tool post --kind KIND PATH --from NAME --to NAME --subject TEXT [--orig ADDR] [--dest ADDR]
//                    [--reply MSGID] [--netmail] [--attr NAMES] [--board N] [--create] [--file BODY.txt]
//                    [--profile NAME]
//   pelmar-tool mark-read --kind KIND PATH --msgid MSGID [--netmail] [--board N]
//   pelmar-tool delete    --kind KIND PATH --msgid MSGID [--netmail] [--board N]
//   pelmar-tool send, uu decode, areas list, areas add: see LetterVerbs.cpp
//   pelmar-tool nodelist compile|find ...   (cli/NodelistCommand.h)
//   pelmar-tool --version                   (the program's version, as pelmar --version prints it)
//
// A post needs an origin address: --orig, else the first own address of the profile's settings.
//
// Text on the command line, in the body file and in the output is UTF-8; it travels to and from the
// bases through the lossless CP866 mapping, so every CP866 character (box drawing included) survives
// both ways and characters CP866 lacks become '?'. A message whose CHRS line declares another set is
// dumped decoded from its stored bytes by that declaration straight to UTF-8, so nothing is lost
// (the body, and the names and subject where the format reads them with the control lines). Exit
// codes: 0 success,
// 1 bad usage, missing base or failed write (or mark), 2 when no message carries the MSGID, 3 when
// some messages of a dump could not be read (they
// are reported on stderr and the dump goes on).
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "areas/gizmo.h"
#include "cli/Json.h"
#include "cli/LetterVerbs.h"
#include "cli/NodelistCommand.h"
#include "cli/ToolText.h"
#include "core/Address.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/BodyText.h"
#include "msgbase/Charset.h"
#include "msgbase/MessageBase.h"
#include "platform/Paths.h"
#include "reader/MessageTransfer.h"
#include "reader/Writes.h"

namespace {

using namespace pelmar;
using cli::TJsonLine;

constexpr const char* Usage =
    "usage:\n"
    "  pelmar-tool dump --kind msg|squish|jam|hudson PATH [--netmail] [--board N] [--headers]\n"
    "  pelmar-tool post --kind msg|squish|jam|hudson PATH --from NAME --to NAME --subject TEXT\n"
    "                   [--orig ADDR] [--dest ADDR] [--reply MSGID] [--netmail] [--attr NAMES]\n"
    "                   [--board N] [--create] [--file BODY.txt] [--profile NAME]\n"
    "                   (the body is read from stdin without --file; NAMES: Local KillSent Sent\n"
    "                   Crash Direct RqRcpt ReqAudit RetRcpt FileAttach; without --orig the first\n"
    "                   own address of the profile's settings is the origin)\n"
    "  pelmar-tool mark-read --kind KIND PATH --msgid MSGID [--netmail] [--board N]\n"
    "  pelmar-tool delete    --kind KIND PATH --msgid MSGID [--netmail] [--board N]\n";

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
    static const char* const withValue[] = {"--kind", "--board", "--from", "--to",    "--subject", "--orig",
                                            "--dest", "--attr",  "--file", "--reply", "--profile", "--msgid"};
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

// Body lines joined by "\n", without the final line end: a declared set other than the DOS code
// page is decoded from the stored bytes, the rest goes through the lossless mapping as always.
std::string BodyText(const TMessageBase& base) {
    const TCharset charset = base.Stored.BodyCharset;
    std::string body =
        IsDosCharset(charset) ? ToolOut(base.Text) : Utf8BodyText(CharsetToUtf8(charset, base.Stored.Body));
    if (!body.empty() && body.back() == '\r') body.pop_back();
    for (auto& c : body) {
        if (c == '\r') c = '\n';
    }
    return body;
}

std::vector<std::string> Utf8Lines(const std::vector<std::string>& lines) {
    std::vector<std::string> result;
    result.reserve(lines.size());
    for (const auto& line : lines) result.push_back(ToolOut(line));
    return result;
}

std::vector<std::string> AttrNameList(uint16_t attr) {
    std::vector<std::string> names;
    for (int bit = 0; bit < AttrCount; ++bit) {
        if (attr & (1u << bit)) names.emplace_back(AttrNames[bit]);
    }
    return names;
}

// Squish reads the addresses with the whole message only; its header pass leaves them empty.
bool HeaderReadsAddresses(int kind) {
    return kind != BaseKindSquish;
}

// A name or the subject: from its stored bytes where the format decoded it by a declaration.
std::string NameToUtf8(const TMessageBase& base, const std::string& field, const std::string& stored) {
    const TCharset charset = base.Stored.NamesCharset;
    return IsDosCharset(charset) ? ToolOut(field) : CharsetToUtf8(charset, stored);
}

std::string DumpLine(TMessageBase& base, bool headersOnly, int kind) {
    const int32_t position = base.Current;
    TJsonLine json;
    base.Stored = {};  // nothing of the previous message may be taken for this one
    if (headersOnly) {
        base.ReadHeader();
    } else {
        // ReadToAndRead first: the *.MSG base keeps the read mark out of ReadMessage.
        base.ReadToAndRead();
        base.ReadMessage(position);
    }
    const TMessageBase::TStored& stored = base.Stored;
    json.Add("position", static_cast<long long>(position));
    json.Add("from", NameToUtf8(base, base.FromName, stored.FromName));
    json.Add("to", NameToUtf8(base, base.ToName, stored.ToName));
    json.Add("subject", NameToUtf8(base, base.Subject, stored.Subject));
    json.Add("date", IsoDate(base.Date));
    if (!headersOnly || HeaderReadsAddresses(kind)) {
        json.Add("orig", ToolOut(base.OrigAddr));
        json.Add("dest", ToolOut(base.DestAddr));
    }
    if (!headersOnly) json.Add("attr", AttrNameList(base.Attr));
    json.Add("read", base.Read);
    json.Add("msgid", ToolOut(base.MsgId));
    json.Add("reply", ToolOut(base.ReplyId));
    json.Add("kludges", Utf8Lines(base.Kludges));
    if (!headersOnly) json.Add("text", BodyText(base));
    return json.Text();
}

int Dump(const TOptions& options) {
    auto base = OpenBase(options);
    base->KeepStored = true;
    int failures = 0;
    for (bool more = base->First(); more; more = base->Next()) {
        try {
            std::cout << DumpLine(*base, options.Headers, KindNumber(options.Get("--kind"))) << '\n';
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
    if (!ReadAllText(options.Get("--file"), bytes)) throw TToolError("cannot read " + options.Get("--file"));
    return StoredBody(bytes);
}

std::string CheckedAddress(const TOptions& options, const std::string& name) {
    const std::string address = options.Get(name);
    if (!address.empty() && !IsValidAddress(address)) {
        throw TUsageError("bad address for " + name + ": '" + address + "'");
    }
    return address;
}

// --orig, else the profile's first valid own address; a message without one would carry no MSGID
// and an origin line ending in "()".
std::string OriginAddress(const TOptions& options) {
    if (options.Has("--orig")) return CheckedAddress(options, "--orig");
    std::error_code ec;
    if (std::filesystem::exists(RegistryFilePath(), ec)) {
        Settings.CurrentUser = Utf8ToAnsi(options.Get("--profile"));
        LoadSettings();
        for (const auto& address : Settings.SelfAKA) {
            if (IsValidAddress(address)) return address;
        }
    }
    throw TUsageError("--orig is required: the settings hold no own address");
}

int Post(const TOptions& options) {
    for (const char* required : {"--from", "--to", "--subject"}) {
        if (!options.Has(required)) throw TUsageError(std::string(required) + " is required");
    }
    const std::string orig = OriginAddress(options);
    const std::string dest = CheckedAddress(options, "--dest");
    uint16_t attr = 0;
    if (!ParseAttrText(options.Get("--attr"), attr)) {
        throw TUsageError("unknown attribute in '" + options.Get("--attr") + "'");
    }
    const std::string body = ReadBody(options);
    // Taken before the base is touched: without a home no serial can be kept unique.
    TNewHeader header;
    header.MsgIdSerial = NewMsgIdSerial();
    header.FromName = ToolIn(options.Get("--from"));
    header.ToName = ToolIn(options.Get("--to"));
    header.Subject = ToolIn(options.Get("--subject"));
    header.OrigAddr = orig;
    header.DestAddr = dest;
    header.Attr = attr;
    header.Read = false;
    if (options.Has("--reply")) header.ReplyMsgId = ToolIn(options.Get("--reply"));

    auto base = OpenBase(options);
    base->NewMessage();
    // The header every new message gets, the one the editor and the copies to contacts write.
    FillNewHeader(*base, header);
    base->Text = body;
    if (!base->WriteMessage())
        throw TToolError("the message could not be written: " +
                         AnsiToUtf8(base->LastError.empty() ? BusyReason() : base->LastError));
    // Stored all the same, so the exit code stays 0; but the user must hear that it will not travel.
    for (const std::string& warning : base->Warnings)
        std::cerr << "pelmar-tool: warning: " << AnsiToUtf8(warning) << '\n';
    std::cout << base->Current << '\n';
    return 0;
}

struct TNotFound : TToolError {
    using TToolError::TToolError;
};

// The position of the first message whose MSGID is `msgid`; -1 when there is none.
int32_t FindMsgId(TMessageBase& base, const std::string& msgid) {
    for (bool more = base.First(); more; more = base.Next()) {
        try {
            base.ReadMsgId();
        } catch (const std::exception&) {
            continue;  // a damaged message is not the one asked for
        }
        if (base.MsgId == msgid) return base.Current;
    }
    return -1;
}

// Marks read or deletes the message with the MSGID. A tosser may add, pack or remove messages at
// any time, so the message at the found position is read again right before acting and must still
// carry the MSGID; the base itself refuses when the file behind it changed since that read.
int ActOnMsgId(const TOptions& options, bool remove) {
    if (!options.Has("--msgid")) throw TUsageError("--msgid is required");
    const std::string msgid = ToolIn(options.Get("--msgid"));
    auto base = OpenBase(options);
    const int32_t position = FindMsgId(*base, msgid);
    if (position < 0) throw TNotFound("no message with MSGID " + options.Get("--msgid"));
    base->Seek(position);
    base->ReadHeader();
    if (base->MsgId != msgid) throw TToolError("the message moved while it was looked up; nothing was done");
    // Acted on as the windows act on a listed message: recognised again under the lock, then
    // written, with the outcome read back.
    const TListedMessage item{position,
                              {base->MsgId, base->FromName, base->ToName, base->Subject, base->Date}};
    TAreaInfo area;  // the tool's base belongs to no area tree; its counters are not kept
    if (remove) {
        const TItemOutcome deleted = DeleteListed(area, *base, {item}).front();
        if (deleted.Result != TItemResult::Done && deleted.Result != TItemResult::Skipped)
            throw TToolError("the message could not be deleted: " + AnsiToUtf8(deleted.Reason));
        return 0;
    }
    if (base->Read) return 0;
    const TItemOutcome marked = MarkListedRead(area, *base, item, std::string());
    if (marked.Result != TItemResult::Done)
        throw TToolError("the message could not be marked read: " + AnsiToUtf8(marked.Reason));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << Usage << pelmar::cli::LetterVerbsUsage << cli::NodelistUsage
                  << "  pelmar-tool --version\n";
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << PELMAR_VERSION_TEXT << '\n';
        return 0;
    }
    if (argc >= 2 && std::string_view(argv[1]) == "nodelist")
        return cli::RunNodelistCommand(std::vector<std::string>(argv + 2, argv + argc));
    // Every stored byte comes back unchanged, whatever the view's code-page switch says.
    SetLosslessOem(true);
    Settings.TextInWindowsCodePage = false;
    if (pelmar::cli::IsLetterVerb(argc, argv)) return pelmar::cli::RunLetterVerb(argc, argv);
    try {
        const TOptions options = ParseOptions(argc, argv);
        if (options.Command == "dump") return Dump(options);
        if (options.Command == "post") return Post(options);
        if (options.Command == "mark-read") return ActOnMsgId(options, false);
        if (options.Command == "delete") return ActOnMsgId(options, true);
        throw TUsageError("unknown command '" + options.Command + "'");
    } catch (const TNotFound& e) {
        std::cerr << "pelmar-tool: " << e.what() << '\n';
        return 2;
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
