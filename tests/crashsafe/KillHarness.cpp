#include "KillHarness.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <thread>

#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

// Progress of the writing child, in memory shared with the parent.
struct TProgress {
    std::atomic<int> Ready{0};
    std::atomic<int> Begun{-1};  // operation number begun last
    std::atomic<int> Done{0};    // operations finished
};

bool IsDelete(int op) {
    return op % 4 == 3;
}
int DeleteTarget(int op) {
    return op - 2;
}

std::string SubjectOf(int serial) {
    return "Message " + std::to_string(serial);
}

std::string BodyOf(int serial) {
    // Lengths from one line to a few kilobytes, so writes span blocks and frames of every size.
    std::string body;
    const int lines = (serial * 7) % 60 + 1;
    for (int i = 0; i < lines; ++i)
        body += "Line " + std::to_string(i) + " of message " + std::to_string(serial) + " ------------\r";
    return body;
}

void FillMessage(TMessageBase& base, int serial) {
    base.FromName = "Writer";
    base.ToName = KillRecipient(serial);
    base.Subject = SubjectOf(serial);
    base.OrigAddr = "2:5020/1";
    base.Date = EncodeDateTime(2025, 1, 1 + serial % 28, 10, 0, serial % 60);
    base.Attr = AttrLocal;
    base.Netmail = false;
    base.Kludges = {"MSGID: 2:5020/1 " + std::to_string(10000000 + serial)};
    base.Text = BodyOf(serial);
}

// Serial of a subject "Message N"; -1 for anything else.
int SerialOf(const std::string& subject) {
    const std::string prefix = "Message ";
    if (subject.rfind(prefix, 0) != 0) return -1;
    try {
        return std::stoi(subject.substr(prefix.size()));
    } catch (const std::exception&) {
        return -1;
    }
}

bool DeleteSerial(TMessageBase& base, int serial) {
    for (bool more = base.First(); more; more = base.Next()) {
        base.ReadHeader();
        if (SerialOf(base.Subject) == serial) return base.DeleteCurrent();
    }
    return true;  // gone already
}

// Runs the operations until killed, or until `limit` are done when it is not negative.
[[noreturn]] void ChildLoop(const std::string& path, int kind, TProgress& progress, int limit) {
    try {
        auto base = CreateMessageBase(kind);
        base->Path = path;
        base->UseFlagFiles = false;
        base->Open();
        if (!base->Active) _exit(2);
        progress.Ready = 1;
        for (int op = 0; limit < 0 || op < limit; ++op) {
            progress.Begun = op;
            if (IsDelete(op)) {
                if (!DeleteSerial(*base, DeleteTarget(op))) _exit(4);
            } else {
                base->NewMessage();
                FillMessage(*base, op);
                if (!base->WriteMessage()) _exit(5);
            }
            progress.Done = op + 1;
        }
        _exit(0);
    } catch (...) {
        _exit(3);
    }
}

// Reads the base back and compares it with what the finished operations promise.
TKillOutcome Verify(const std::string& path, int kind, const TProgress& progress,
                    std::vector<std::string>& problems) {
    TKillOutcome outcome;
    outcome.Path = path;
    outcome.OpsDone = progress.Done;
    const int begun = progress.Begun;
    outcome.InFlight = begun >= outcome.OpsDone;
    outcome.InFlightIsDelete = outcome.InFlight && IsDelete(begun);

    std::set<int> expected;
    for (int op = 0; op < outcome.OpsDone; ++op) {
        if (IsDelete(op))
            expected.erase(DeleteTarget(op));
        else
            expected.insert(op);
    }
    const int uncertain = !outcome.InFlight ? -1 : outcome.InFlightIsDelete ? DeleteTarget(begun) : begun;

    auto base = CreateMessageBase(kind);
    base->Path = path;
    base->UseFlagFiles = false;
    base->Open();
    if (!base->Active) {
        problems.push_back("the base does not open after the kill");
        return outcome;
    }
    for (bool more = base->First(); more; more = base->Next()) {
        const int position = base->Current;
        try {
            base->ReadMessage(position);
        } catch (const std::exception& e) {
            problems.push_back("message at position " + std::to_string(position) +
                               " unreadable: " + e.what());
            continue;
        }
        const int serial = SerialOf(base->Subject);
        if (serial < 0) {
            problems.push_back("unknown message \"" + base->Subject + "\"");
            continue;
        }
        if (!outcome.Present.insert(serial).second) problems.push_back(SubjectOf(serial) + " appears twice");
        if (base->FromName != "Writer" || base->ToName != KillRecipient(serial) ||
            base->Text.rfind(BodyOf(serial), 0) != 0)
            problems.push_back(SubjectOf(serial) + " is not intact");
    }
    for (const int serial : expected)
        if (serial != uncertain && !outcome.Present.count(serial))
            problems.push_back(SubjectOf(serial) + ", written before the kill, is missing");
    for (const int serial : outcome.Present)
        if (serial != uncertain && !expected.count(serial))
            problems.push_back(SubjectOf(serial) + " is there though it was deleted or never written");
    return outcome;
}

}  // namespace

std::string KillRecipient(int serial) {
    return "Reader " + std::to_string(serial % 5);
}

TKillSummary RunKillRounds(const TKillPlan& plan) {
    TKillSummary summary;
    void* shared =
        ::mmap(nullptr, sizeof(TProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        summary.Problems.push_back("no shared memory");
        return summary;
    }
    std::mt19937 random(std::random_device{}());
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < plan.Rounds; ++round) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
            plan.SecondsBudget)
            break;
        TempDir dir;
        const std::string path = plan.BasePath(dir.Path().string() + "/");
        plan.Create(dir.Path().string() + "/", path);
        auto* progress = new (shared) TProgress;
        const pid_t child = ::fork();
        if (child == 0) ChildLoop(path, plan.Kind, *progress, -1);
        if (child < 0) {
            summary.Problems.push_back("fork failed");
            break;
        }
        const auto waitStart = std::chrono::steady_clock::now();
        while (!progress->Ready && std::chrono::steady_clock::now() - waitStart < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, plan.MaxDelayMicros)(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string where = "round " + std::to_string(round) + ": ";
        if (!WIFSIGNALED(status)) {
            summary.Problems.push_back(where + "the writer stopped by itself with status " +
                                       std::to_string(WEXITSTATUS(status)));
            continue;
        }
        std::vector<std::string> problems;
        const TKillOutcome outcome = Verify(path, plan.Kind, *progress, problems);
        if (plan.Check && problems.empty()) problems = plan.Check(outcome);
        for (const auto& problem : problems)
            summary.Problems.push_back(where + "after " + std::to_string(outcome.OpsDone) + " operations" +
                                       (outcome.InFlight ? " and one cut short: " : ": ") + problem);
        ++summary.Rounds;
        summary.OpsDone += outcome.OpsDone;
        if (outcome.InFlight) ++summary.KillsInFlight;
    }
    // One writer that is left to finish: the base must then meet every invariant exactly.
    {
        TempDir dir;
        const std::string path = plan.BasePath(dir.Path().string() + "/");
        plan.Create(dir.Path().string() + "/", path);
        auto* progress = new (shared) TProgress;
        const pid_t child = ::fork();
        if (child == 0) ChildLoop(path, plan.Kind, *progress, 60);
        int status = 0;
        if (child > 0) ::waitpid(child, &status, 0);
        if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            summary.Problems.push_back("the writer left to finish failed");
        } else {
            std::vector<std::string> problems;
            const TKillOutcome outcome = Verify(path, plan.Kind, *progress, problems);
            if (plan.Check && problems.empty()) problems = plan.Check(outcome);
            for (const auto& problem : problems) summary.Problems.push_back("finished writer: " + problem);
        }
    }
    ::munmap(shared, sizeof(TProgress));
    return summary;
}

}  // namespace pelmar::test
