// A linked group refreshed while the background scan walks every entry: the scan reads Kind and Path of
// the importers' new entries, so they must be complete before they join a tree. Run this one under
// ThreadSanitizer too (README: tests/areas with -fsanitize=thread) to see the races themselves.
#include <gtest/gtest.h>

#include <atomic>
#include <stop_token>
#include <thread>

#include "areas/AreaTestSupport.h"
#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "import/AreaImport.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

TEST(RefreshDuringScan, GroupEndsAsItsLastFileSays) {
    RegisterAreaImporters();
    test::TempDir dir;
    // Two T-Mail files: the second keeps half the boxes under other folders and adds new ones.
    std::string first, second;
    for (int i = 0; i < 12; ++i) {
        const std::string box = "Box" + std::to_string(i);
        first +=
            "MailBox " + box + " = " + test::CreateEmptyBase(1, dir.Path(), "a" + std::to_string(i)) + "\n";
        if (i % 2 == 0)
            second += "MailBox " + box + " = " +
                      test::CreateEmptyBase(1, dir.Path(), "b" + std::to_string(i)) + "\n";
        else
            second += "MailBox New" + std::to_string(i) + " = " + dir.File("a" + std::to_string(i)) + "\n";
    }
    test::AppendMessages(1, dir.File("b0"), {{}, {}});
    const std::string firstFile = dir.File("first.ctl"), secondFile = dir.File("second.ctl");
    test::WriteFile(firstFile, first);
    test::WriteFile(secondFile, second);

    TAreaInfo root;
    TAreaFields fields;
    fields.Name = "Link";
    fields.Zilo = ZiloLinkedGroup;
    fields.Kind = LinkKindTMail;
    fields.Path = firstFile;
    TAreaInfo* group = root.AddChild(fields);

    std::atomic<int> passes{0};
    std::jthread scan([&passes](std::stop_token stop) {
        while (!stop.stop_requested()) {
            TScanThread::Pass(stop);
            ++passes;
        }
    });
    for (int round = 0; round <= 60; ++round) {
        group->Change([&](TAreaInfo& entry) { entry.Path = round % 2 == 0 ? secondFile : firstFile; });
        ASSERT_TRUE(group->RefreshLinkedGroup()) << round;
    }
    // Two more passes over the group as the last (second) file left it.
    const int before = passes.load();
    while (passes.load() < before + 2) std::this_thread::yield();
    scan.request_stop();
    scan.join();

    ASSERT_EQ(group->ChildCount(), 12);
    for (int i = 0; i < 12; ++i) {
        const bool kept = i % 2 == 0;
        const TAreaInfo* box = group->FindChild((kept ? "Box" : "New") + std::to_string(i));
        ASSERT_NE(box, nullptr) << i;
        EXPECT_EQ(box->Kind, 1);
        EXPECT_EQ(box->Path, dir.File((kept ? "b" : "a") + std::to_string(i))) << i;
        EXPECT_EQ(box->MsgCount.load(), i == 0 ? 2 : 0) << i;
    }
    SetAreaImporter(LinkKindTMail, nullptr);
}

}  // namespace
}  // namespace pelmar
