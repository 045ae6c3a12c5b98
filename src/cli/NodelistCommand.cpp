#include "cli/NodelistCommand.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>

#include "cli/Json.h"
#include "core/Address.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "nodelist/NodeList.h"
#include "nodelist/NodeRows.h"
#include "nodelist/NodelistLifetime.h"

namespace pelmar::cli {

const char* const NodelistUsage =
    "  pelmar-tool nodelist compile [--data DIR] [--profile NAME] [FILE...]\n"
    "                   (without FILE the profile's nodelist files; without --data the profile's\n"
    "                   data folder)\n"
    "  pelmar-tool nodelist find [--data DIR] [--profile NAME] NAME|ADDRESS\n"
    "                   (an address may hold \"*\"; one JSON line per record found)\n";

namespace {

struct TNodelistOptions {
    std::string Command;
    std::string Data;
    std::string Profile;
    bool HasProfile = false;
    std::vector<std::string> Words;  // CP1251
};

struct TNodelistUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

TNodelistOptions Parse(const std::vector<std::string>& args) {
    TNodelistOptions options;
    if (args.empty()) throw TNodelistUsageError("nodelist needs compile or find");
    options.Command = args[0];
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--data" || arg == "--profile") {
            if (i + 1 >= args.size()) throw TNodelistUsageError(arg + " needs a value");
            (arg == "--data" ? options.Data : options.Profile) = args[++i];
            options.HasProfile = options.HasProfile || arg == "--profile";
        } else if (arg.rfind("--", 0) == 0) {
            throw TNodelistUsageError("unknown option " + arg);
        } else {
            options.Words.push_back(Utf8ToAnsi(arg));
        }
    }
    return options;
}

// The profile's settings, read only when a folder or the files are not given.
void LoadProfile(const TNodelistOptions& options) {
    Settings.CurrentUser = Utf8ToAnsi(options.Profile);
    LoadSettings();
}

std::string DataFolder(const TNodelistOptions& options) {
    if (options.Data.empty()) return DataFolderPath();
    return options.Data.back() == '/' ? options.Data : options.Data + "/";
}

int Compile(const TNodelistOptions& options) {
    if (options.Words.empty() || options.Data.empty()) LoadProfile(options);
    std::vector<std::string> files = Settings.NodeListFiles;
    if (!options.Words.empty()) {
        // The index names its sources for the program, which runs from another folder: absolute paths.
        files.clear();
        for (const std::string& word : options.Words)
            files.push_back(Utf8ToAnsi(std::filesystem::absolute(AnsiToUtf8(word)).lexically_normal().string()));
    }
    if (files.empty()) throw TNodelistUsageError("no nodelist files given and the profile lists none");
    TNodeList list(DataFolder(options));
    list.Compile(files);
    TJsonLine line;
    line.Add("index", AnsiToUtf8(list.IndexPath()));
    line.Add("records", static_cast<long long>(list.RecordCount()));
    std::vector<std::string> names;
    for (const auto& file : list.SourceFiles()) names.push_back(AnsiToUtf8(file.Path));
    line.Add("files", names);
    line.Add("summary", AnsiToUtf8(list.Summary()));
    std::cout << line.Text() << '\n';
    return 0;
}

void PrintRecord(TNodeList& list, TNodeRows& rows, int index) {
    rows.Fill(index, index);
    const TNodeRow* row = rows.Cached(index);
    if (row == nullptr) return;
    TNodeRecord record;
    list.Seek(index);
    list.ReadRecord(record);
    TJsonLine line;
    line.Add("index", static_cast<long long>(index));
    line.Add("address", row->Address);
    line.Add("name", AnsiToUtf8(row->Name));
    line.Add("station", AnsiToUtf8(row->Station));
    line.Add("location", AnsiToUtf8(row->Location));
    line.Add("phone", AnsiToUtf8(row->Phone));
    line.Add("hours", AnsiToUtf8(row->Hours));
    line.Add("file", AnsiToUtf8(row->File));
    line.Add("offset", static_cast<long long>(record.Entry.LineOffset));
    std::cout << line.Text() << '\n';
}

int Find(const TNodelistOptions& options) {
    if (options.Words.size() != 1) throw TNodelistUsageError("find needs one name or address");
    if (options.Data.empty()) LoadProfile(options);
    TNodeList list(DataFolder(options));
    if (!list.Open()) {
        std::cerr << "pelmar-tool: "
                  << AnsiToUtf8(list.OpenProblem().empty() ? "no compiled nodelist in " + list.IndexPath()
                                                           : list.OpenProblem())
                  << '\n';
        return 1;
    }
    const std::string& query = options.Words[0];
    TNodeRows rows(list, TNodeRows::LocalHourOffset());
    int found = 0;
    // Anything that reads as an address mask is one; a name never holds ':' or '/'.
    if (query.find_first_of(":/") != std::string::npos) {
        if (!IsValidAddressMask(query)) throw TNodelistUsageError("bad address '" + AnsiToUtf8(query) + "'");
        for (int i = list.FindNext("", query, 0); i >= 0; i = list.FindNext("", query, i + 1), ++found)
            PrintRecord(list, rows, i);
    } else {
        for (const int i : list.FindRecordsByName(query)) {
            PrintRecord(list, rows, i);
            ++found;
        }
    }
    return found > 0 ? 0 : 2;
}

}  // namespace

int RunNodelistCommand(const std::vector<std::string>& args) {
    try {
        const TNodelistOptions options = Parse(args);
        if (options.Command == "compile") return Compile(options);
        if (options.Command == "find") return Find(options);
        throw TNodelistUsageError("unknown nodelist command '" + options.Command + "'");
    } catch (const TNodelistUsageError& e) {
        std::cerr << "pelmar-tool: " << e.what() << "\nusage:\n" << NodelistUsage;
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "pelmar-tool: " << AnsiToUtf8(e.what()) << '\n';
        return 1;
    }
}

}  // namespace pelmar::cli
