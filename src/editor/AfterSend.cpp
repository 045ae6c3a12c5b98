#include "editor/AfterSend.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/LockedFile.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace pelmar {

namespace {

// The output kept of one run: a scan of many areas prints a lot, the end says how it went.
constexpr size_t OutputLimit = 64 * 1024;

void KeepTail(std::string& text, size_t limit) {
    if (text.size() <= limit) return;
    size_t from = text.size() - limit;
    const size_t line = text.find('\n', from);
    if (line != std::string::npos && line + 1 < text.size()) from = line + 1;
    text.erase(0, from);
}

std::string Stamp(time_t when) {
    struct tm local {};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

std::string AfterSendLogPath() {
    std::string folder = !Settings.DataFolder.empty() ? Settings.DataFolder : Settings.ProgramFolder;
    if (folder.empty()) folder = HomeFolder();
    if (folder.back() != '/') folder += '/';
    return folder + "aftersend.log";
}

std::string OutcomeText(const TCommandOutcome& outcome) {
    switch (outcome.Kind) {
        case TCommandOutcome::NotStarted:
            return "не запустилась";
        case TCommandOutcome::Killed:
            return outcome.Code > 0 ? "прервана сигналом " + std::to_string(outcome.Code) : "прервана";
        case TCommandOutcome::TimedOut:
            return "не завершилась вовремя и остановлена";
        case TCommandOutcome::Exited:
            break;
    }
    // The shell says 127 when it found no such program.
    if (outcome.Code == 127) return "не найдена (код 127)";
    return "завершилась с кодом " + std::to_string(outcome.Code);
}

std::string AfterSendFailureText(const TCommandOutcome& outcome) {
    return Utf8ToAnsi("Команда после отправки " + OutcomeText(outcome) +
                      ". Её вывод: меню «Настройки», «Журнал команды после отправки».");
}

std::string AppendAfterSendLog(const std::string& path, const std::string& command,
                               const TCommandOutcome& outcome, time_t when, size_t limit) {
    std::string entry = "=== " + Stamp(when) + "  " + command + "\n" + outcome.Output;
    if (!outcome.Output.empty() && outcome.Output.back() != '\n') entry += '\n';
    entry += "=== " + OutcomeText(outcome) + "\n";
    TLockedFile file(path);
    std::string bytes;
    if (!file || !file.ReadAll(bytes)) return file.Error();
    if (bytes.size() + entry.size() <= limit) return file.Append(entry) ? std::string() : file.Error();
    // Too big: the newest lines are written as a whole new file, which replaces the old one only once
    // it is complete. Writers waiting for the old file's lock find the new one (TLockedFile).
    bytes += entry;
    KeepTail(bytes, limit / 2 > entry.size() ? limit / 2 : entry.size());
    const int error = ReplaceFile(path, bytes, 0644);
    if (error == 0) return {};
    return Utf8ToAnsi("не удаётся записать ") + path + " (" + std::strerror(error) + ")";
}

TCommandOutcome RunShellCommand(const std::string& command, int timeoutMs) {
    TCommandOutcome outcome;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        outcome.Kind = TCommandOutcome::NotStarted;
        outcome.Output = std::strerror(errno);
        return outcome;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        outcome.Kind = TCommandOutcome::NotStarted;
        outcome.Output = std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return outcome;
    }
    if (child == 0) {
        // A group of its own, so that a stop reaches whatever the command started.
        ::setpgid(0, 0);
        const int none = ::open("/dev/null", O_RDONLY);
        if (none >= 0) ::dup2(none, 0);
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    char buffer[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        struct pollfd wait {
            out[0], POLLIN, 0
        };
        const int ready = ::poll(&wait, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        outcome.Output.append(buffer, static_cast<size_t>(n));
        if (outcome.Output.size() > 2 * OutputLimit) KeepTail(outcome.Output, OutputLimit);
    }
    ::close(out[0]);
    if (timedOut) ::kill(-child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    KeepTail(outcome.Output, OutputLimit);
    if (timedOut) {
        outcome.Kind = TCommandOutcome::TimedOut;
    } else if (WIFSIGNALED(status)) {
        outcome.Kind = TCommandOutcome::Killed;
        outcome.Code = WTERMSIG(status);
    } else {
        outcome.Code = WEXITSTATUS(status);
    }
    return outcome;
}

bool RunAfterSendCommand(std::string& failure) {
    failure.clear();
    if (Settings.AfterSendCommand.empty()) return true;
    const std::string command = AnsiToUtf8(Settings.AfterSendCommand);
    const TCommandOutcome outcome = RunShellCommand(command);
    const std::string logError = AppendAfterSendLog(AfterSendLogPath(), command, outcome, std::time(nullptr));
    if (outcome.Ok()) return true;
    failure =
        Utf8ToAnsi("команда после отправки " + OutcomeText(outcome) + "; её вывод в ") + AfterSendLogPath();
    if (!logError.empty()) failure += Utf8ToAnsi(" (журнал не записан: ") + logError + ")";
    return false;
}

}  // namespace pelmar
