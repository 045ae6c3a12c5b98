// Writers killed in the middle of WriteMessage and DeleteCurrent must leave every base readable,
// with all earlier mail intact and the format's structures consistent up to the one operation cut
// short.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "KillHarness.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "msgbase/jam/JamChecker.h"
#include "msgbase/squish/SquishLayout.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

void ExpectSurvives(const TKillPlan& plan) {
    const TKillSummary summary = RunKillRounds(plan);
    for (const auto& problem : summary.Problems) ADD_FAILURE() << problem;
    // Without kills inside operations the test would prove nothing.
    EXPECT_GE(summary.Rounds, 10);
    EXPECT_GT(summary.KillsInFlight, summary.Rounds / 2);  // kills that landed inside an operation
    ::testing::Test::RecordProperty("rounds", summary.Rounds);
    ::testing::Test::RecordProperty("kills_in_flight", summary.KillsInFlight);
    ::testing::Test::RecordProperty("operations", summary.OpsDone);
}

// ---- Squish ------------------------------------------------------------------------------------

constexpr uint32_t kNull = 0;

bool IsMessageFrame(const std::string& sqd, uint32_t at) {
    if (at < kHeaderSize || uint64_t{at} + kFrameSize > sqd.size()) return false;
    if (Le32(sqd, at + frm::Id) != kFrameId || Le16(sqd, at + frm::Type) != 0) return false;
    const uint32_t length = Le32(sqd, at + frm::FrameLength);
    return Le32(sqd, at + frm::MsgLength) <= length && uint64_t{at} + kFrameSize + length <= sqd.size();
}

// The checks a cut-short operation cannot break when data goes down before what points at it: the
// chain leads through message frames only, every index entry leads to a complete message frame,
// and the chain, the index and the counter differ by at most the one message in transit.
std::vector<std::string> CheckSquishAfterCut(const std::string& base) {
    std::vector<std::string> problems;
    const std::string sqd = ReadFile(base + ".sqd");
    const std::string sqi = ReadFile(base + ".sqi");
    if (sqd.size() < kHeaderSize) return {"the data file lost its header"};
    std::set<uint32_t> chain;
    uint32_t prev = kNull;
    int brokenBackLinks = 0;
    for (uint32_t at = Le32(sqd, hdr::BeginFrame); at != kNull; at = Le32(sqd, at + frm::Next)) {
        if (!IsMessageFrame(sqd, at)) return {"the chain leads to " + std::to_string(at) + ", not a message"};
        if (!chain.insert(at).second) return {"the chain closes a loop"};
        if (Le32(sqd, at + frm::Prev) != prev) ++brokenBackLinks;
        prev = at;
    }
    // Unlinking a frame rewrites the links on both sides of it; a cut between the two leaves one
    // back link stale, which no order of writes avoids.
    if (brokenBackLinks > 1) problems.push_back(std::to_string(brokenBackLinks) + " broken back links");
    std::set<uint32_t> index;
    for (size_t i = 0; i + 12 <= sqi.size(); i += 12) {
        const uint32_t ofs = Le32(sqi, i);
        if (!IsMessageFrame(sqd, ofs))
            problems.push_back("index entry " + std::to_string(i / 12) + " leads nowhere");
        index.insert(ofs);
    }
    std::vector<uint32_t> differ;
    std::set_symmetric_difference(chain.begin(), chain.end(), index.begin(), index.end(),
                                  std::back_inserter(differ));
    if (differ.size() > 1)
        problems.push_back("chain and index differ in " + std::to_string(differ.size()) + " frames");
    const int64_t numMsg = Le32(sqd, hdr::NumMsg);
    if (std::abs(numMsg - static_cast<int64_t>(index.size())) > 1)
        problems.push_back("num_msg " + std::to_string(numMsg) + " for " + std::to_string(index.size()) +
                           " entries");
    return problems;
}

TEST(CrashSafeWrites, SquishKeepsChainIndexAndMessages) {
    TKillPlan plan;
    plan.Kind = BaseKindSquish;
    plan.BasePath = [](const std::string& dir) { return dir + "area"; };
    plan.Create = [](const std::string&, const std::string& path) { TSquishBuilder().Save(path); };
    plan.Check = [](const TKillOutcome& outcome) {
        return outcome.InFlight ? CheckSquishAfterCut(outcome.Path) : CheckSquishBase(outcome.Path);
    };
    ExpectSurvives(plan);
}

// ---- JAM ---------------------------------------------------------------------------------------

TEST(CrashSafeWrites, JamKeepsHeadersIndexAndCounts) {
    TKillPlan plan;
    plan.Kind = BaseKindJam;
    plan.BasePath = [](const std::string& dir) { return dir + "area"; };
    plan.Create = [](const std::string&, const std::string& path) {
        auto base = CreateMessageBase(BaseKindJam);
        base->Path = path;
        base->CreateBase();
    };
    plan.Check = [](const TKillOutcome& outcome) {
        std::vector<std::string> problems;
        for (const auto& problem : CheckJamBase(outcome.Path)) {
            // The counter goes down after the records it counts: one operation cut short may leave it
            // one off, never more.
            if (outcome.InFlight && problem.rfind("ActiveMsgs", 0) == 0) continue;
            problems.push_back(problem);
        }
        const TRawJamBase raw = ReadRawJamBase(outcome.Path);
        const auto live = static_cast<int64_t>(std::count_if(
            raw.Index.begin(), raw.Index.end(), [](const auto& e) { return e.second != 0xFFFFFFFFu; }));
        if (std::abs(static_cast<int64_t>(raw.ActiveMsgs) - live) > 1)
            problems.push_back("ActiveMsgs " + std::to_string(raw.ActiveMsgs) + " for " +
                               std::to_string(live));
        return problems;
    };
    ExpectSurvives(plan);
}

// ---- Hudson ------------------------------------------------------------------------------------

constexpr int kBoard = 42;

// An empty Hudson base: four empty files and a MSGINFO of zero counters.
void WriteEmptyHudson(const std::filesystem::path& dir) {
    for (const char* name : {"msgidx.bbs", "msghdr.bbs", "msgtxt.bbs", "msgtoidx.bbs"})
        WriteFile(dir / name, "");
    std::string info(406, '\0');
    info[0] = 1;  // LowMsg
    WriteFile(dir / "msginfo.bbs", info);
}

TEST(CrashSafeWrites, HudsonKeepsCountersAndIndex) {
    TKillPlan plan;
    plan.Kind = BaseKindHudson;
    plan.BasePath = [](const std::string& dir) { return std::string(1, static_cast<char>(kBoard)) + dir; };
    plan.Create = [](const std::string& dir, const std::string&) { WriteEmptyHudson(dir); };
    plan.Check = [](const TKillOutcome& outcome) {
        std::vector<std::string> problems;
        const std::filesystem::path dir = outcome.Path.substr(1);
        const std::string info = ReadFile(dir / "msginfo.bbs");
        const std::string idx = ReadFile(dir / "msgidx.bbs");
        const std::string hdr = ReadFile(dir / "msghdr.bbs");
        if (info.size() != 406)
            return std::vector<std::string>{"msginfo.bbs has " + std::to_string(info.size()) + " bytes"};
        int live = 0;
        for (size_t i = 0; i + 3 <= idx.size(); i += 3) {
            const uint16_t num = Le16(idx, i);
            if (num == 0xFFFF) continue;
            ++live;
            const size_t at = i / 3 * 187;
            if (hdr.size() < at + 187 || Le16(hdr, at) != num)
                problems.push_back("index entry " + std::to_string(i / 3) + " has no header of its number");
            if (num > Le16(info, 2)) problems.push_back("message number above HighMsg");
        }
        // The counters move after the index, both when a message is added and when one is deleted:
        // a cut-short operation may leave them one off, never more.
        const int total = Le16(info, 4);
        const int board = Le16(info, 6 + 2 * (kBoard - 1));
        const int slack = outcome.InFlight ? 1 : 0;
        for (const auto& [name, counter] : {std::pair{"TotalActive", total}, std::pair{"board count", board}})
            if (std::abs(counter - live) > slack)
                problems.push_back(std::string(name) + " " + std::to_string(counter) + " for " +
                                   std::to_string(live) + " messages in the index");
        return problems;
    };
    ExpectSurvives(plan);
}

// ---- *.MSG -------------------------------------------------------------------------------------

TEST(CrashSafeWrites, MsgFilesAreWholeOrAbsent) {
    TKillPlan plan;
    plan.Kind = BaseKindMsg;
    plan.BasePath = [](const std::string& dir) { return dir + "area/"; };
    plan.Create = [](const std::string&, const std::string& path) {
        std::filesystem::create_directory(path);
    };
    // Every file the reader lists was checked whole by the harness; temporary files of the cut-short
    // write are not messages.
    ExpectSurvives(plan);
}

}  // namespace
}  // namespace pelmar::test
