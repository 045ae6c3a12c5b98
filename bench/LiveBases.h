#pragma once
// What the live-mail benchmarks share: large JAM bases written once and kept between runs, and a
// tosser in another process (the benchmark program itself, started with "--toss COUNT PATH...").
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"

extern char** environ;

namespace pelmar::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline int EnvInt(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

inline std::unique_ptr<TMessageBase> OpenJam(const std::string& path) {
    auto base = CreateMessageBase(BaseKindJam);
    base->SetPath(path);
    base->Open();
    if (!base->Active) throw std::runtime_error("cannot open " + path);
    base->UseFlagFiles = false;
    return base;
}

inline void WriteOne(TMessageBase& base, int n) {
    base.NewMessage();
    base.FromName = "Bench Tosser";
    base.ToName = n % 10 == 5 ? Settings.FullName : "All";
    base.Subject = "Message " + std::to_string(n);
    base.OrigAddr = "2:5020/1";
    base.Date = EncodeDateTime(2026, 1, 2, 3, 4, 5);
    base.Kludges = {"MSGID: 2:5020/1 " + std::to_string(100000000 + n)};
    base.Text = "A line of text for the benchmark.\rAnother one.\r";
    if (!base.WriteMessage()) throw std::runtime_error("cannot write to " + base.Path);
}

// The tosser: `count` messages into the bases named after it, in turn, each base kept open the way
// tossers keep the areas of one packet open.
inline int Toss(int argc, char** argv) {
    const int count = std::atoi(argv[2]);
    std::vector<std::unique_ptr<TMessageBase>> bases;
    for (int i = 3; i < argc; ++i) bases.push_back(OpenJam(argv[i]));
    for (int n = 0; n < count; ++n) WriteOne(*bases[static_cast<size_t>(n) % bases.size()], n);
    for (auto& base : bases) base->Close();
    // When the last byte was written, for the parent's latency figure.
    std::printf("%lld\n", static_cast<long long>(Clock::now().time_since_epoch().count()));
    return 0;
}

// Runs this program as the tosser and returns the time its last write ended.
inline Clock::time_point RunTosser(int count, const std::vector<std::string>& paths) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {"bench", "--toss", std::to_string(count)};
    args.insert(args.end(), paths.begin(), paths.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start the tosser");
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buffer[64];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(got));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty())
        throw std::runtime_error("the tosser failed");
    return Clock::time_point(Clock::duration(std::stoll(text)));
}

// The large JAM bases: one written once, the areas copied from it (again when a run grew them).
inline std::vector<std::string> PrepareLargeBases(const fs::path& root, int areas, int messages) {
    const fs::path folder = root / ("large-" + std::to_string(messages));
    fs::create_directories(folder);
    const std::string source = (folder / "source").string();
    if (!fs::exists(folder / "complete")) {
        std::fprintf(stderr, "Writing %d messages into %s ...\n", messages, source.c_str());
        for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"}) fs::remove(source + ext);
        auto base = CreateMessageBase(BaseKindJam);
        base->SetPath(source);
        base->CreateBase();
        base->Open();
        base->UseFlagFiles = false;
        for (int n = 0; n < messages; ++n) WriteOne(*base, n);
        base->Close();
        std::FILE* mark = std::fopen((folder / "complete").c_str(), "w");
        if (mark != nullptr) std::fclose(mark);
    }
    std::vector<std::string> paths;
    for (int i = 0; i < areas; ++i) {
        const std::string path = (folder / ("area" + std::to_string(i))).string();
        if (!fs::exists(path + ".jdx") || fs::file_size(path + ".jdx") != fs::file_size(source + ".jdx")) {
            for (const char* ext : {".jdt", ".jdx", ".jhr"})
                fs::copy_file(source + ext, path + ext, fs::copy_options::overwrite_existing);
        }
        paths.push_back(path);
    }
    return paths;
}

}  // namespace pelmar::bench
