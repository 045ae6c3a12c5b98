#pragma once
// The command run after a send (a tosser's scan, e.g. "crashmail SCAN" or "hpt scan"): its outcome,
// the log that keeps its output, and the run that waits for it (pelmar-tool; the windows run it in
// the background and share the rest).
#include <ctime>
#include <string>

namespace pelmar {

struct TCommandOutcome {
    enum TKind { Exited, NotStarted, Killed, TimedOut };
    TKind Kind = Exited;
    int Code = 0;        // exit status (Exited) or signal (Killed)
    std::string Output;  // what it printed, standard output and errors together (the tail of it)
    bool Ok() const { return Kind == Exited && Code == 0; }
};

// How long the command may run before it is stopped and reported.
inline constexpr int AfterSendTimeoutMs = 10 * 60 * 1000;
// The log is kept below this size; the oldest entries go first.
inline constexpr size_t AfterSendLogLimit = 256 * 1024;

// "aftersend.log" in the data folder of the settings (the home folder when there is none).
std::string AfterSendLogPath();

// How it ended, for the log and the status line: "завершилась с кодом 1" (UTF-8).
std::string OutcomeText(const TCommandOutcome& outcome);
// The text for the user after a failed run (CP1251): what failed and where its output is.
std::string AfterSendFailureText(const TCommandOutcome& outcome);

// Adds an entry (time stamp, command, output, outcome) to the log at `path` under its lock, dropping
// the oldest lines when it would grow beyond `limit`. Empty, or why it could not be written (CP1251).
std::string AppendAfterSendLog(const std::string& path, const std::string& command,
                               const TCommandOutcome& outcome, time_t when, size_t limit = AfterSendLogLimit);

// Runs `command` (UTF-8) through /bin/sh -c and waits for it, at most `timeoutMs`; a command still
// running then is killed with everything it started.
TCommandOutcome RunShellCommand(const std::string& command, int timeoutMs = AfterSendTimeoutMs);

// pelmar-tool after a send: runs the command of the settings (CP1251) when there is one and logs it.
// True when there was none or it succeeded; otherwise `failure` says what happened (CP1251).
bool RunAfterSendCommand(std::string& failure);

}  // namespace pelmar
