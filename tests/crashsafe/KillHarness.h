#pragma once
// Kills a process that writes into a base at random moments and checks what it leaves behind.
//
// Every round starts from a new empty base. A child process runs a fixed sequence of operations on
// it (operation k writes message k, and every fourth operation deletes the message written two
// operations before) and publishes in shared memory which operation it has begun and which it has
// finished. The parent kills it with SIGKILL after a random delay, then reads the base back through
// a new base object: every message finished before the kill must be there and intact, every delete
// finished before it must have taken effect, the operation cut short may have happened or not, and
// nothing else may appear.
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace pelmar::test {

// What the parent knows after a kill, for the format's own checks.
struct TKillOutcome {
    std::string Path;       // the base's Path
    bool InFlight = false;  // an operation had begun and not finished
    bool InFlightIsDelete = false;
    int OpsDone = 0;        // operations finished
    std::set<int> Present;  // serials of the messages the reader found
};

struct TKillPlan {
    int Kind = 0;  // BaseKind* of BaseFactory.h
    int Rounds = 250;
    double SecondsBudget = 11;  // stops starting rounds after this long
    int MaxDelayMicros = 15000;
    // Path of the base inside a fresh folder ("" + dir for *.MSG, dir + "area" otherwise, ...).
    std::function<std::string(const std::string& dir)> BasePath;
    // Lays down an empty base at `path` inside `dir`.
    std::function<void(const std::string& dir, const std::string& path)> Create;
    // Format-specific invariants; returns the problems found.
    std::function<std::vector<std::string>(const TKillOutcome&)> Check;
};

struct TKillSummary {
    int Rounds = 0;
    int KillsInFlight = 0;  // rounds where the kill cut an operation short
    int OpsDone = 0;        // operations finished over all rounds
    std::vector<std::string> Problems;
};

TKillSummary RunKillRounds(const TKillPlan& plan);

// The recipient stored with message `serial`.
std::string KillRecipient(int serial);

}  // namespace pelmar::test
