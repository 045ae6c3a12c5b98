// The program as a user runs it: ended by SIGTERM while editors are open, it stores their letters and
// exits without a question; the next start opens them again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "platform/Codepage.h"
#include "reader/DraftStore.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Starts the program on the offscreen platform with `home`; returns its process id. Its stderr goes
// to `errors` when given.
pid_t StartProgram(const fs::path& home, const fs::path& runtime, const fs::path& errors = {}) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (!errors.empty()) {
            const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) dup2(fd, 2);
        }
        setenv("PELMAR_HOME", home.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(PELMAR_PROGRAM_PATH, PELMAR_PROGRAM_PATH, "-noavi", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits up to `limit` for the process to end; its exit status, or -1 when it is still running.
int WaitForExit(pid_t pid, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        std::this_thread::sleep_for(50ms);
    }
    return -1;
}

// Waits until the single-instance socket exists (the program is up), then a moment for its windows.
void WaitUntilUp(const fs::path& runtime) {
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < end && fs::is_empty(runtime)) std::this_thread::sleep_for(50ms);
    std::this_thread::sleep_for(2s);
}

// A profile that is set up, with one *.MSG area at `area`; the area's ID.
std::string SetUpProfile(const fs::path& home, const fs::path& area) {
    EXPECT_EQ(test::RunCommand("PELMAR_HOME='" + home.string() + "' '" + test::ToolPath() +
                               "' areas add --name Test --kind msg '" + area.string() + "' --tag TEST"),
              0);
    const std::string registry = test::ReadFile(home / "registry.reg");
    std::smatch id;
    EXPECT_TRUE(std::regex_search(registry, id, std::regex("\"ID\"=\"([^\"]+)\"")));
    test::WriteFile(home / "registry.reg",
                    registry +
                        "\r\n[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0\\Settings]\r\n"
                        "\"SetupDone\"=dword:00000001\r\n\"FullName\"=\"Ivan Petrov\"\r\n");
    return id.size() > 1 ? id[1].str() : std::string();
}

TEST(Termination, SigtermWithTwoEditorsKeepsBothLettersForTheNextStart) {
    test::TempDir home, runtime, area;
    const std::string id = SetUpProfile(home.Path(), area.Path());
    ASSERT_FALSE(id.empty());

    const std::string data = home.Path().string() + "/";
    TDraft first, second;
    for (TDraft* d : {&first, &second}) {
        d->FromName = "Ivan Petrov";
        d->OrigAddr = "2:5020/120.5";
        d->AreaIds = {id};
        d->Attributes = 0x0100;
    }
    first.ToName = "All";
    first.Subject = "First";
    first.Body = "One\r";
    second.ToName = "Sysop";
    second.Subject = "Second";
    second.Body = "Two\r";
    ASSERT_TRUE(TDraftStore(data, {}).Save({&first, &second}, false));

    for (int run = 0; run < 2; ++run) {
        const pid_t pid = StartProgram(home.Path(), runtime.Path());
        ASSERT_GT(pid, 0);
        WaitUntilUp(runtime.Path());
        kill(pid, SIGTERM);
        const int status = WaitForExit(pid, 30s);
        if (status < 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        ASSERT_EQ(status, 0) << "run " << run;

        const std::vector<TDraft> kept = TDraftStore(data, {}).Load();
        ASSERT_EQ(kept.size(), 2u) << "run " << run;
        EXPECT_EQ(kept[0].Subject, "First");
        EXPECT_EQ(kept[1].Subject, "Second");
        for (const TDraft& d : kept) EXPECT_EQ(d.AreaIds, std::vector<std::string>{id});
    }
}

// SIGTERM while the draft store refuses the save (its folder now also holds an area's messages):
// nobody can be asked, so the letter goes to a rescue file in the data folder and its path to stderr.
TEST(Termination, SigtermWithAnUnusableDraftStoreWritesTheLetterToARescueFile) {
    test::TempDir home, runtime, areas;
    const fs::path area = areas.Path() / "echo";
    fs::create_directories(area);
    const std::string id = SetUpProfile(home.Path(), area);
    ASSERT_FALSE(id.empty());
    TDraft letter;
    letter.FromName = "Ivan Petrov";
    letter.OrigAddr = "2:5020/120.5";
    letter.ToName = "All";
    letter.Subject = "Rescue";
    letter.AreaIds = {id};
    letter.Body = Utf8ToAnsi("Привет, это не должно пропасть\r");
    const std::string data = home.Path().string() + "/";
    ASSERT_TRUE(TDraftStore(data, {}).Save({&letter}, false));

    const fs::path errors = runtime.Path().parent_path() / (runtime.Path().filename().string() + ".stderr");
    const pid_t pid = StartProgram(home.Path(), runtime.Path(), errors);
    ASSERT_GT(pid, 0);
    WaitUntilUp(runtime.Path());
    // The area's folder becomes the draft store's own: every later save is refused.
    fs::remove_all(area);
    fs::create_directory_symlink(home.Path() / "drafts", area);
    kill(pid, SIGTERM);
    const int status = WaitForExit(pid, 30s);
    if (status < 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    EXPECT_EQ(status, 0);

    std::vector<fs::path> rescued;
    for (const auto& entry : fs::directory_iterator(home.Path()))
        if (entry.path().filename().string().rfind("rescued-letters-", 0) == 0)
            rescued.push_back(entry.path());
    ASSERT_EQ(rescued.size(), 1u);
    const std::string text = test::ReadFile(rescued[0]);
    EXPECT_NE(text.find("Привет, это не должно пропасть\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Subject: Rescue\n"), std::string::npos) << text;
    const std::string log = test::ReadFile(errors);
    fs::remove(errors);
    EXPECT_NE(log.find(rescued[0].string()), std::string::npos) << log;
}

}  // namespace
}  // namespace pelmar
