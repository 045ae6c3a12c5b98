#include "support/Crashmail.h"

#include "support/TestSupport.h"

namespace pelmar::test {

namespace fs = std::filesystem;

bool CrashmailInstalled() {
    return RunCommand("command -v crashmail >/dev/null 2>&1") == 0;
}

std::string WriteCrashmailSetUp(const fs::path& root, const std::vector<TCrashmailArea>& areas) {
    for (const char* sub : {"inb", "outb", "tmp", "netmail", "bad"}) fs::create_directories(root / sub);
    const std::string r = root.string();
    std::string prefs = "SYSOP \"Sysop\"\nLOGFILE \"" + r + "/crashmail.log\"\nLOGLEVEL 6\nDUPEFILE \"" + r +
                        "/dupes\" 200\nDUPEMODE BAD\nDEFAULTZONE 2\nINBOUND \"" + r + "/inb\"\nOUTBOUND \"" +
                        r + "/outb\"\nTEMPDIR \"" + r + "/tmp\"\nCREATEPKTDIR \"" + r +
                        "/tmp\"\nPACKETDIR \"" + r +
                        "/outb\"\nAKA 2:5020/1.0\nDOMAIN \"fidonet\"\n"
                        "NODE 2:5020/2.0 \"\" \"\" AUTOADD\nNODE 2:5020/9.0 \"\" \"\" AUTOADD\n"
                        "ROUTE \"*:*/*.*\" \"2:5020/9.0\" 2:5020/1.0\n"
                        "NETMAIL \"NETMAIL\" 2:5020/1.0 MSG \"" +
                        r +
                        "/netmail\"\n"
                        "AREA \"BAD\" 2:5020/1.0 MSG \"" +
                        r + "/bad\"\n";
    for (const TCrashmailArea& area : areas) {
        if (area.Format == "MSG")
            fs::create_directories(root / area.Path);
        else
            fs::create_directories((root / area.Path).parent_path());
        prefs += "AREA \"" + area.Tag + "\" 2:5020/1.0 " + area.Format + " \"" + r + "/" + area.Path +
                 "\"\nEXPORT " + area.Export + "\n";
    }
    const fs::path file = root / "crashmail.prefs";
    WriteFile(file, prefs);
    return file.string();
}

std::string CrashmailCommand(const fs::path& root, const std::string& arguments) {
    return "cd '" + root.string() + "' && crashmail SETTINGS '" + (root / "crashmail.prefs").string() + "' " +
           arguments;
}

int RunCrashmail(const fs::path& root, const std::string& arguments) {
    return RunCommand(CrashmailCommand(root, arguments) + " >/dev/null 2>&1");
}

std::string CrashmailOutbound(const fs::path& root) {
    std::string all;
    for (const auto& entry : fs::recursive_directory_iterator(root / "outb"))
        if (entry.is_regular_file()) all += ReadFile(entry.path());
    return all;
}

}  // namespace pelmar::test
