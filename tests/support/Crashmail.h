#pragma once
// crashmail as a real tosser in tests: its set-up in a folder of the test's, and its runs.
#include <filesystem>
#include <string>
#include <vector>

namespace pelmar::test {

// An echo area of the set-up: `Format` "MSG" or "JAM", `Path` below the set-up's folder (a folder
// for MSG, a base path without extension for JAM), `Export` the nodes it is sent to.
struct TCrashmailArea {
    std::string Tag;
    std::string Format;
    std::string Path;
    std::string Export = "2:5020/2.0 2:5020/9.0";
};

// The crashmail command is on the PATH.
bool CrashmailInstalled();
// The set-up of point 2:5020/1 with uplink 2:5020/9 (every netmail routed there) and 2:5020/2 known:
// the folders inb, outb, tmp, netmail and bad, the NETMAIL and BAD areas and `areas`, written to
// ROOT/crashmail.prefs. Returns that file's path.
std::string WriteCrashmailSetUp(const std::filesystem::path& root, const std::vector<TCrashmailArea>& areas);
// The command line that runs crashmail on the set-up in ROOT with `arguments` ("SCAN", "TOSSDIR ...").
std::string CrashmailCommand(const std::filesystem::path& root, const std::string& arguments);
// Runs it with its output dropped; its exit status.
int RunCrashmail(const std::filesystem::path& root, const std::string& arguments);
// Every file crashmail left in ROOT/outb, concatenated.
std::string CrashmailOutbound(const std::filesystem::path& root);

}  // namespace pelmar::test
