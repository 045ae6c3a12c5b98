#pragma once
// Input while a long operation runs on the user-interface thread: reading an area, searching.
//
// The operation runs inside a slot; its only look at the outside world is Poll(), called as it goes
// (every 50 messages). Poll lets the window system deliver what is waiting (paints, the progress
// text), but user input (mouse, keys, wheel, closing) is held back instead of reaching any widget,
// and timers wait, so no handler of ours runs in the middle of the operation. Esc or a left button
// press among the input asks for the abort. End() hands the held input back in its order, so the
// click that aborted is then handled as usual; the Esc that aborted is used up.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class QEvent;

namespace pelmar::ui {

class TReadInputGuard : public QObject {
    Q_OBJECT

public:
    explicit TReadInputGuard(QObject* parent = nullptr);
    ~TReadInputGuard() override;

    void Begin();
    // True once Esc or a left button press arrived since Begin().
    bool Poll();
    void End();
    bool Active() const { return active_; }

    // Events that are held while the operation runs.
    static bool IsHeldInput(const QEvent& event);

    // A key press or shortcut override of Esc alone.
    static bool IsEscape(const QEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct THeld {
        QPointer<QObject> Receiver;
        std::unique_ptr<QEvent> Event;
    };
    std::vector<THeld> held_;
    static constexpr int kPollIntervalMs = 10;
    QElapsedTimer sincePoll_;
    bool active_ = false;
    bool abort_ = false;
};

}  // namespace pelmar::ui
