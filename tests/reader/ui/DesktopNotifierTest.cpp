// Desktop notifications of new personal mail, against a notification service of our own on a
// private message bus: what the service is sent, a click that opens the message, a service that is
// missing or never answers, and the window title that counts unread personal mail.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QVariantMap>
#include <stop_token>
#include <thread>

#include "areas/AreaLifetime.h"
#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "msgbase/BaseFactory.h"
#include "platform/Registry.h"
#include "reader/ui/DesktopNotifier.h"
#include "reader/ui/MainFrame.h"
#include "reader/ui/PersonalMailNotices.h"
#include "support/Letters.h"
#include "support/TestSupport.h"
#include "support/qt/WaitFor.h"

namespace pelmar::ui {
namespace {

namespace fs = std::filesystem;
using pelmar::test::WaitFor;

struct TNotifyCall {
    QString App, Summary, Body;
    QStringList Actions;
};

// The desktop's side: takes notifications, and says whether it reads markup. Told to hang, it
// never answers at all.
class TFakeNotifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    bool Markup = true;
    bool Hang = false;
    std::vector<TNotifyCall> Calls;

public slots:
    QStringList GetCapabilities() {
        if (Hang) setDelayedReply(true);
        return Markup ? QStringList{QStringLiteral("body"), QStringLiteral("body-markup")}
                      : QStringList{QStringLiteral("body")};
    }
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        Calls.push_back({app, summary, body, actions});
        return static_cast<uint>(Calls.size()) + 40;
    }
};

// A message bus of the test's own, with no service that it could start by itself.
class TPrivateBus {
public:
    bool Start(const fs::path& folder) {
        const fs::path config = folder / "bus.conf";
        test::WriteFile(config,
                        "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                        "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                        "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + QString::fromStdString(config.string()),
                       QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!daemon_.waitForStarted(10000)) return false;
        while (!daemon_.canReadLine() && daemon_.waitForReadyRead(10000)) {
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        return !address_.isEmpty();
    }
    ~TPrivateBus() {
        for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
        daemon_.kill();
        daemon_.waitForFinished(10000);
    }
    QDBusConnection Connect() {
        names_.append(QStringLiteral("pelmar-test-%1").arg(++serial_));
        return QDBusConnection::connectToBus(address_, names_.back());
    }
    // The service, on a connection of its own (the one served before leaves the bus).
    bool Serve(TFakeNotifications& service) {
        if (service_) {
            // Given back by a call the bus answers: a closed connection frees the name only later.
            service_->unregisterService(QStringLiteral("org.freedesktop.Notifications"));
            QDBusConnection::disconnectFromBus(service_->name());
        }
        QDBusConnection bus = Connect();
        service_ = std::make_unique<QDBusConnection>(bus);
        return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    // A click on notification `id` (or its closing), as the service tells every listener.
    void Emit(const char* signal, uint id, const QVariant& second) {
        QDBusMessage message = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                          QStringLiteral("org.freedesktop.Notifications"),
                                                          QString::fromLatin1(signal));
        message << id << second;
        service_->send(message);
    }

private:
    QProcess daemon_;
    QString address_;
    QStringList names_;
    std::unique_ptr<QDBusConnection> service_;
    static inline int serial_ = 0;
};

class DesktopNotifierTest : public testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed: no private bus for the notification tests";
        ASSERT_TRUE(bus_.Start(home_.Path()));
    }

    test::ScopedHome home_;
    TPrivateBus bus_;
};

TEST_F(DesktopNotifierTest, BodyIsEscapedOnlyForAServiceThatReadsMarkupAndClicksReachTheirNotification) {
    const QString hostile = QStringLiteral("<b>Hi</b> & \x07 bye\u202E\nnext");
    for (const bool markup : {true, false}) {
        SCOPED_TRACE(markup ? "markup" : "plain");
        TFakeNotifications service;
        service.Markup = markup;
        ASSERT_TRUE(bus_.Serve(service));
        TDesktopNotifier notifier(bus_.Connect());
        std::vector<int> clicked;
        notifier.Notify({QStringLiteral("From <x>\tand\ny"), hostile, [&clicked] { clicked.push_back(1); }});
        notifier.Notify({QStringLiteral("Second"), QString(), [&clicked] { clicked.push_back(2); }});
        ASSERT_TRUE(WaitFor([&] { return notifier.OpenCount() == 2; }));
        ASSERT_EQ(service.Calls.size(), 2u);
        EXPECT_EQ(service.Calls[0].App, QStringLiteral("Пелмар"));
        EXPECT_EQ(service.Calls[0].Actions,
                  (QStringList{QStringLiteral("default"), QStringLiteral("Открыть")}));
        EXPECT_EQ(service.Calls[0].Summary, QStringLiteral("From <x> and y"));
        EXPECT_EQ(service.Calls[0].Body, markup ? QStringLiteral("&lt;b&gt;Hi&lt;/b&gt; &amp;   bye\nnext")
                                                : QStringLiteral("<b>Hi</b> &   bye\nnext"));

        // Ids 41 and 42: another action, then the default one of the second; a closed one is forgotten.
        bus_.Emit("ActionInvoked", 42, QStringLiteral("other"));
        bus_.Emit("ActionInvoked", 42, QStringLiteral("default"));
        ASSERT_TRUE(WaitFor([&] { return !clicked.empty(); }));
        EXPECT_EQ(clicked, std::vector<int>{2});
        bus_.Emit("NotificationClosed", 41, 2u);
        ASSERT_TRUE(WaitFor([&] { return notifier.OpenCount() == 1; }));
        bus_.Emit("ActionInvoked", 41, QStringLiteral("default"));
        bus_.Emit("ActionInvoked", 42, QStringLiteral("default"));
        ASSERT_TRUE(WaitFor([&] { return clicked.size() == 2; }));
        EXPECT_EQ(clicked, (std::vector<int>{2, 2}));
    }
}

// A bus without the service, a bus that is not there, a service that never answers: nothing is
// shown, the user is told once, and the window's thread never waits for the bus.
TEST_F(DesktopNotifierTest, MissingOrSilentServiceIsToldOnceAndNeverHoldsTheCaller) {
    struct TRow {
        const char* Name;
        bool Service;
        bool Hang;
        bool BrokenBus;
    } rows[] = {{"no service", false, false, false},
                {"no bus", false, false, true},
                {"service never answers", true, true, false}};
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        TFakeNotifications service;
        service.Hang = row.Hang;
        if (row.Service) ASSERT_TRUE(bus_.Serve(service));
        TDesktopNotifier notifier(
            row.BrokenBus ? QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                          QStringLiteral("pelmar-broken"))
                          : bus_.Connect());
        std::vector<QString> told;
        notifier.Unavailable = [&told](const QString& reason) { told.push_back(reason); };
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 3; ++i) notifier.Notify({QStringLiteral("Summary"), QStringLiteral("Body"), {}});
        // A blocking call would wait for the call's timeout here.
        EXPECT_LT(timer.elapsed(), TDesktopNotifier::kCallTimeoutMs / 2);
        if (row.Hang) {
            EXPECT_EQ(notifier.PendingCount(), 3);
            EXPECT_TRUE(told.empty());
        } else {
            ASSERT_TRUE(WaitFor([&] { return !told.empty() && notifier.PendingCount() == 0; }));
            QApplication::processEvents();
            EXPECT_EQ(told.size(), 1u);
            EXPECT_EQ(notifier.OpenCount(), 0);
        }
        if (row.BrokenBus) QDBusConnection::disconnectFromBus(QStringLiteral("pelmar-broken"));
    }
}

TEST(PersonalMailNoticesTest, CountsInWordsAndCutsWhatTheNetworkSent) {
    const struct {
        size_t Count;
        const char* Summary;
    } rows[] = {{4, "4 новых личных письма"},   {5, "5 новых личных писем"},
                {11, "11 новых личных писем"},  {21, "21 новое личное письмо"},
                {22, "22 новых личных письма"}, {112, "112 новых личных писем"}};
    for (const auto& row : rows) {
        const std::vector<TNewPersonalMail> mail(row.Count,
                                                 TNewPersonalMail{"id", "RU.TEST", "Ann", "Hi", "", 0});
        const std::vector<TPersonalMailNotice> notices = PersonalMailNotices(mail);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].Summary, QString::fromUtf8(row.Summary));
    }
    const std::vector<TPersonalMailNotice> one =
        PersonalMailNotices({{"id", "RU.TEST", "", std::string(500, 'x') + "\r\n", "", 0}});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].Summary, QStringLiteral("Личное письмо от неизвестного"));
    EXPECT_EQ(one[0].Body, QStringLiteral("Тема: ") + QString(kNoticeFieldChars - 1, QLatin1Char('x')) +
                               QChar(0x2026) + QStringLiteral("\nОбласть: RU.TEST"));
}

// ---- The main window ---------------------------------------------------------------------------

class PersonalMailTest : public DesktopNotifierTest {
protected:
    void SetUp() override {
        DesktopNotifierTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        saved_ = Settings;
        Settings = TSettings{};
        Settings.FullName = "Sysop";
        const fs::path bases = home_.Path() / "bases";
        fs::create_directories(bases);
        test::AppendLetters(BaseKindJam, (bases / "first").string(),
                            {{"Writer", "All", "Hello all", "2:5020/1 1000"},
                             {"Friend", "Sysop", "Personal one", "2:5020/1 1001"},
                             {"Stranger", "Sysop", "No id", ""},
                             {"Writer", "All", "Other", ""}},
                            true);
        test::AppendLetters(BaseKindJam, (bases / "second").string(),
                            {{"Other", "Sysop", "Elsewhere", "2:5020/1 2000"}}, true);
        TRegistry reg;
        reg.OpenKey("\\" + RootKey + "\\Settings", true);
        reg.WriteBool("SetupDone", true);
        for (const char* name : {"first", "second"}) {
            reg.OpenKey("\\" + RootKey + "\\Areas\\Fido\\" + name, true);
            reg.WriteInteger("Kind", BaseKindJam);
            reg.WriteString("Path", (bases / name).string());
        }
        CreateAreaManager();
        ASSERT_NE(AreaManager(), nullptr);
        ASSERT_TRUE(bus_.Serve(service_));
    }
    void TearDown() override {
        if (AreaManager() == nullptr) return;
        StoreAreasAndRelease();
        Settings = saved_;
    }

    TAreaInfo& Area(const char* name) { return *AreaManager()->Root().FindChild("Fido")->FindChild(name); }

    void ScanPass(TMainFrame& frame) {
        std::jthread([](std::stop_token stop) { TScanThread::Pass(stop); }).join();
        frame.RefreshAreaCounters();  // what the pass's report to the window does first
    }

    TNewPersonalMail Mail(const char* area, const char* from, const char* subject, const char* msgId,
                          int position) {
        return {Area(area).ID, area, from, subject, msgId, position};
    }

    TFakeNotifications service_;
    TSettings saved_;
};

TEST_F(PersonalMailTest, ClickOpensTheAnnouncedMessageByMsgIdOrByItsCheckedPosition) {
    TMainFrame frame;
    frame.UseNotificationBus(bus_.Connect());
    frame.show();
    ASSERT_TRUE(WaitFor([&] { return frame.isVisible(); }));
    struct TRow {
        const char* Name;
        TNewPersonalMail Mail;
        const char* Selected;  // subject of the selected message; empty: none
    } rows[] = {
        {"by MSGID", Mail("first", "Friend", "Personal one", "2:5020/1 1001", 1), "Personal one"},
        {"another area", Mail("second", "Other", "Elsewhere", "2:5020/1 2000", 0), "Elsewhere"},
        {"by position", Mail("first", "Stranger", "No id", "", 2), "No id"},
        // The tosser renumbered the base since: the message now there is another one.
        {"position taken by another", Mail("first", "Stranger", "Gone", "", 3), ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        frame.ClearSelection();
        const size_t before = service_.Calls.size();
        frame.AnnouncePersonalMail({row.Mail});
        ASSERT_TRUE(WaitFor([&] { return service_.Calls.size() == before + 1; }));
        EXPECT_EQ(service_.Calls.back().Summary,
                  QStringLiteral("Личное письмо от ") + ToQt(row.Mail.FromName));
        EXPECT_TRUE(service_.Calls.back().Body.contains(ToQt(row.Mail.AreaName)));
        bus_.Emit("ActionInvoked", static_cast<uint>(service_.Calls.size()) + 40, QStringLiteral("default"));
        ASSERT_TRUE(WaitFor([&] { return frame.List().CurrentArea == &Area(row.Mail.AreaName.c_str()); }));
        QApplication::processEvents();
        const TMessageClass* shown = frame.List().CurrentEntry;
        if (*row.Selected == '\0') {
            EXPECT_EQ(shown, nullptr);
            EXPECT_EQ(frame.StatusPanel(2)->text(), QStringLiteral("Письма больше нет в области"));
        } else {
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->Subject, row.Selected);
        }
    }
}

// The tosser wrote the message after the open area was listed, and the list has not taken it.
TEST_F(PersonalMailTest, MessageTheListedAreaDoesNotShowYetIsFoundByReadingTheAreaAfresh) {
    TMainFrame frame;
    frame.show();
    ASSERT_TRUE(frame.SelectAreaNode(Area("first")));
    ASSERT_EQ(frame.List().CurrentArea, &Area("first"));
    test::AppendLetters(BaseKindJam, (home_.Path() / "bases" / "first").string(),
                        {{"Late", "Sysop", "Arrived late", "2:5020/1 1005"}});
    ASSERT_TRUE(frame.OpenPersonalMail(Mail("first", "Late", "Arrived late", "2:5020/1 1005", 4)));
    ASSERT_NE(frame.List().CurrentEntry, nullptr);
    EXPECT_EQ(frame.List().CurrentEntry->Subject, "Arrived late");
}

TEST_F(PersonalMailTest, SettingOffOwnLettersAndManyAtOnce) {
    TMainFrame frame;
    frame.UseNotificationBus(bus_.Connect());
    Settings.NotifyPersonal = false;
    frame.AnnouncePersonalMail({Mail("first", "Friend", "Personal one", "2:5020/1 1001", 1)});
    Settings.NotifyPersonal = true;
    // The user's own letter to himself is no news: only the friend's is announced.
    frame.AnnouncePersonalMail({Mail("first", "Sysop", "Note to self", "2:5020/1 1002", 4),
                                Mail("second", "Other", "Elsewhere", "2:5020/1 2000", 0)});
    ASSERT_TRUE(WaitFor([&] { return !service_.Calls.empty(); }));
    std::vector<TNewPersonalMail> many;
    for (int i = 0; i < 5; ++i)
        many.push_back(Mail(i < 4 ? "first" : "second", "Friend", "Personal one", "", i));
    frame.AnnouncePersonalMail(many);
    ASSERT_TRUE(WaitFor([&] { return service_.Calls.size() == 2; }));
    QApplication::processEvents();
    ASSERT_EQ(service_.Calls.size(), 2u);
    EXPECT_EQ(service_.Calls[0].Summary, QStringLiteral("Личное письмо от Other"));
    EXPECT_EQ(service_.Calls[1].Summary, QStringLiteral("5 новых личных писем"));
    EXPECT_EQ(service_.Calls[1].Body, QStringLiteral("Области: first, second\nОт: Friend"));
}

TEST_F(PersonalMailTest, TitleCountsUnreadPersonalMailAndFollowsReading) {
    TMainFrame frame;
    frame.UseNotificationBus(bus_.Connect());
    frame.show();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Пелмар"));
    ScanPass(frame);
    ASSERT_EQ(Area("first").PersonalUnread.load(), 2);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Пелмар — личных писем: 3"));

    // Reading a personal message takes one off at once, not a pass later.
    ASSERT_TRUE(frame.OpenPersonalMail(Mail("first", "Friend", "Personal one", "2:5020/1 1001", 1)));
    ASSERT_TRUE(WaitFor([&] { return frame.windowTitle() == QStringLiteral("Пелмар — личных писем: 2"); }))
        << frame.windowTitle().toStdString();
    EXPECT_EQ(TMainFrame::TitleFor(0), QStringLiteral("Пелмар"));
}

}  // namespace
}  // namespace pelmar::ui

#include "DesktopNotifierTest.moc"
