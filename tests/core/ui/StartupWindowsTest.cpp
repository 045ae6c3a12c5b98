// Splash, main window shell, single-instance guard and the pseudographics faces.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>

#include "core/ui/DosFonts.h"
#include "core/ui/SingleInstance.h"
#include "core/ui/Splash.h"
#include "core/ui/TerminationSignals.h"
#include "reader/ui/MainFrame.h"
#include "support/TestSupport.h"
#include "support/qt/WaitFor.h"

// The compiled-in resources live in a static library; they must be pulled in by name.
static void InitResources() {
    Q_INIT_RESOURCE(pelmar);
}

namespace pelmar::ui {
namespace {

using test::WaitFor;

TEST(Splash, FramelessOnTopAndSizedToItsPicture) {
    QPixmap picture(123, 45);
    picture.fill(Qt::red);
    TSplash splash(picture);
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(splash.size(), QSize(123, 45));
    splash.ShowNow();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_EQ(splash.geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
}

TEST(Splash, CompiledInPictureIsUsed) {
    InitResources();
    TSplash* splash = CreateSplash();
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->size(), QPixmap(QStringLiteral(":/pelmar/splash.png")).size());
    EXPECT_FALSE(QPixmap(QStringLiteral(":/pelmar/splash.png")).isNull());
    DestroySplash();
    EXPECT_EQ(Splash(), nullptr);
}

TEST(MainFrame, TitleStatusPanelsAndGlobalPointer) {
    {
        TMainFrame frame;
        EXPECT_EQ(MainFrame, &frame);
        EXPECT_EQ(frame.windowTitle(), QStringLiteral("Пелмар"));
        for (int i = 0; i < TMainFrame::kStatusPanels; ++i) {
            ASSERT_NE(frame.StatusPanel(i), nullptr);
            EXPECT_EQ(frame.StatusPanel(i)->parentWidget(), frame.statusBar());
        }
        EXPECT_EQ(frame.StatusPanel(3), nullptr);
        EXPECT_EQ(frame.StatusPanel(-1), nullptr);
    }
    EXPECT_EQ(MainFrame, nullptr);
}

TEST(MainFrame, FirstShowDestroysTheSplash) {
    // A window that was shown stores its layout when it goes.
    test::ScopedHome home;
    CreateSplash()->ShowNow();
    TMainFrame frame;
    frame.show();
    EXPECT_EQ(Splash(), nullptr);
}

class SingleInstanceTest : public testing::Test {
protected:
    QString Name() const { return QString::fromStdString(dir_.File("pelmar.socket")); }
    test::TempDir dir_;
};

TEST_F(SingleInstanceTest, SecondStartAsksTheFirstToComeForward) {
    TSingleInstance first(Name());
    EXPECT_FALSE(first.ActivateRunning(200));
    ASSERT_TRUE(first.Listen());
    int requests = 0;
    QObject::connect(&first, &TSingleInstance::ActivationRequested, [&] { ++requests; });

    TSingleInstance second(Name());
    EXPECT_TRUE(second.ActivateRunning());
    EXPECT_TRUE(WaitFor([&] { return requests == 1; }));
}

TEST_F(SingleInstanceTest, SocketLeftByACrashedCopyIsTakenOver) {
    test::WriteFile(dir_.File("pelmar.socket"), "");
    TSingleInstance copy(Name());
    EXPECT_FALSE(copy.ActivateRunning(200));
    EXPECT_TRUE(copy.Listen());
    TSingleInstance next(Name());
    EXPECT_TRUE(next.ActivateRunning());
}

TEST_F(SingleInstanceTest, LiveCopyKeepsItsName) {
    TSingleInstance first(Name());
    ASSERT_TRUE(first.Listen());
    TSingleInstance late(Name());
    EXPECT_FALSE(late.Listen());
    int requests = 0;
    QObject::connect(&first, &TSingleInstance::ActivationRequested, [&] { ++requests; });
    EXPECT_TRUE(TSingleInstance(Name()).ActivateRunning());
    EXPECT_TRUE(WaitFor([&] { return requests == 1; }));
}

TEST_F(SingleInstanceTest, DefaultNameDependsOnTheHome) {
    const QString outside = TSingleInstance::DefaultName();
    test::ScopedHome home;
    EXPECT_NE(TSingleInstance::DefaultName(), outside);
    EXPECT_TRUE(TSingleInstance::DefaultName().contains(QStringLiteral("pelmar-")));
    // Another spelling of the same home is the same copy.
    const QString name = TSingleInstance::DefaultName();
    const std::string folder = home.Path().string();
    setenv("PELMAR_HOME", (folder + "//./").c_str(), 1);
    EXPECT_EQ(TSingleInstance::DefaultName(), name);
    setenv("PELMAR_HOME", folder.c_str(), 1);
    EXPECT_EQ(TSingleInstance::DefaultName(), name);
}

TEST(BringToFront, RestoresAMinimisedWindow) {
    QWidget window;
    window.showMinimized();
    BringToFront(&window);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
    BringToFront(nullptr);
}

TEST(DosFonts, SixFacesAtTheirPixelHeights) {
    test::TempDir folder;
    TDosFonts::Register(folder.Path().string() + "/");
    ASSERT_TRUE(TDosFonts::Registered());
    ASSERT_EQ(TDosFonts::FaceCount(), 6);
    EXPECT_EQ(TDosFonts::FaceName(0), QStringLiteral("DOS 4x6"));
    EXPECT_EQ(TDosFonts::FaceName(5), QStringLiteral("DOS 12x16"));
    const int heights[] = {6, 12, 8, 12, 18, 16};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(TDosFonts::Font(i).pixelSize(), heights[i]);
        EXPECT_TRUE(QFontInfo(TDosFonts::Font(i)).fixedPitch());
        EXPECT_EQ(TDosFonts::Font(TDosFonts::FaceName(i)), TDosFonts::Font(i));
    }
    // Out-of-range indexes and unknown names still give a usable face.
    EXPECT_EQ(TDosFonts::Font(99), TDosFonts::Font(5));
    EXPECT_EQ(TDosFonts::Font(-1), TDosFonts::Font(0));
    EXPECT_EQ(TDosFonts::Font(QStringLiteral("DOS 99x99")), TDosFonts::Font(3));
    // Asking for the face by family name leads to the stand-in font.
    EXPECT_FALSE(QFont::substitutes(QStringLiteral("DOS 7x12")).isEmpty());

    TDosFonts::Unregister();
    EXPECT_FALSE(TDosFonts::Registered());
    EXPECT_TRUE(QFont::substitutes(QStringLiteral("DOS 7x12")).isEmpty());
}

TEST(DosFonts, UnloadableFontFileIsIgnored) {
    test::TempDir folder;
    test::WriteFile(folder.File("dos.fon"), "not a font at all");
    TDosFonts::Register(folder.Path().string() + "/");
    EXPECT_TRUE(TDosFonts::Registered());
    EXPECT_EQ(TDosFonts::Font(4).pixelSize(), 18);
    TDosFonts::Unregister();
}

TEST(TerminationSignals, FirstSignalReachesTheEventLoopThenDefaultsReturn) {
    int requests = 0;
    TTerminationSignals termination;
    // A second listener stays inert instead of stealing the first one's signals.
    TTerminationSignals second;
    QObject::connect(&termination, &TTerminationSignals::TerminationRequested, [&] { ++requests; });
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(WaitFor([&] { return requests == 1; }));
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        sigaction(signal, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signal;
    }
}

}  // namespace
}  // namespace pelmar::ui
