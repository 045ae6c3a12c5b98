// The one slot guard: whatever a slot or an event handler throws becomes one box worded for what
// failed, and the program goes on.
#include <gtest/gtest.h>

#include <QEvent>
#include <stdexcept>

#include "core/Errors.h"
#include "core/ui/SlotGuard.h"
#include "platform/Codepage.h"

namespace pelmar::ui {
namespace {

// Collects the boxes' texts instead of showing them.
class TBoxSink {
public:
    TBoxSink() {
        SetGuardErrorSinkForTesting([this](const std::string& text) { Texts.push_back(AnsiToUtf8(text)); });
    }
    ~TBoxSink() { SetGuardErrorSinkForTesting({}); }
    std::vector<std::string> Texts;
};

// A receiver with member-function slots taking fewer arguments than the signal has.
class TReceiver : public QObject {
public:
    void TakeName(const QString& name) {
        Names.push_back(name);
        if (name == QStringLiteral("fail")) throw EWriteError("disk full");
    }
    void Count() { ++Calls; }
    std::vector<QString> Names;
    int Calls = 0;
};

// An object whose user events throw, as a handler that escaped every guard.
class TThrowingObject : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::logic_error("handler fault");
        return QObject::event(e);
    }
};

TEST(SlotGuard, EachThrownKindIsOneBoxWithItsWordingAndTheNextSignalStillArrives) {
    struct Row {
        std::function<void()> Throw;
        std::string Expected;
    };
    const std::vector<Row> rows = {
        {[] { throw EReadError("JAM: damaged header"); }, "Ошибка при чтении базы:\r\nJAM: damaged header"},
        {[] { throw EBaseError("no base"); }, "Ошибка при чтении базы:\r\nno base"},
        {[] { throw EWriteError("disk full"); }, "Ошибка при записи в базу:\r\ndisk full"},
        {[] { throw std::runtime_error("boom"); }, "Ошибка:\r\nboom"},
        {[] { throw 42; }, "Непредвиденная ошибка: действие не выполнено."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Expected);
        TBoxSink sink;
        QObject sender, context;
        int calls = 0;
        GuardedConnect(&sender, &QObject::objectNameChanged, &context, [&](const QString&) {
            ++calls;
            row.Throw();
        });
        sender.setObjectName(QStringLiteral("a"));
        sender.setObjectName(QStringLiteral("b"));
        EXPECT_EQ(calls, 2);
        ASSERT_EQ(sink.Texts.size(), 2u);
        EXPECT_EQ(sink.Texts[0], row.Expected);
        EXPECT_FALSE(Guarded(row.Throw));
        EXPECT_EQ(sink.Texts.size(), 3u);
    }
}

// Every form of connect() the windows use takes the guard unchanged.
TEST(SlotGuard, MemberSlotsFunctorsAndConnectionTypesWorkAsWithConnect) {
    TBoxSink sink;
    QObject sender;
    TReceiver receiver;
    GuardedConnect(&sender, &QObject::objectNameChanged, &receiver, &TReceiver::TakeName);
    GuardedConnect(&sender, &QObject::objectNameChanged, &receiver, &TReceiver::Count);
    int plain = 0, queued = 0;
    GuardedConnect(&sender, &QObject::objectNameChanged, [&plain] { ++plain; });
    GuardedConnect(
        &sender, &QObject::objectNameChanged, &receiver, [&queued](const QString&) { ++queued; },
        Qt::QueuedConnection);
    sender.setObjectName(QStringLiteral("one"));
    sender.setObjectName(QStringLiteral("fail"));
    EXPECT_EQ(receiver.Names, (std::vector<QString>{QStringLiteral("one"), QStringLiteral("fail")}));
    EXPECT_EQ(receiver.Calls, 2);  // after the throwing slot too
    EXPECT_EQ(plain, 2);
    EXPECT_EQ(queued, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(queued, 2);
    ASSERT_EQ(sink.Texts.size(), 1u);
    EXPECT_EQ(sink.Texts[0], "Ошибка при записи в базу:\r\ndisk full");

    // A receiver that is gone is not called.
    {
        TReceiver gone;
        GuardedConnect(&sender, &QObject::objectNameChanged, &gone, &TReceiver::Count);
    }
    sender.setObjectName(QStringLiteral("two"));
    EXPECT_EQ(receiver.Calls, 3);
}

// The last net: an exception out of an event handler ends the delivery, not the program.
TEST(SlotGuard, ExceptionFromAnEventHandlerBecomesABoxAndTheEventIsUnhandled) {
    TBoxSink sink;
    TThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(DeliverGuarded(&object, &event));
    ASSERT_EQ(sink.Texts.size(), 1u);
    EXPECT_EQ(sink.Texts[0], "Ошибка:\r\nhandler fault");
    QEvent other(QEvent::DynamicPropertyChange);
    DeliverGuarded(&object, &other);
    EXPECT_EQ(sink.Texts.size(), 1u);
}

}  // namespace
}  // namespace pelmar::ui
