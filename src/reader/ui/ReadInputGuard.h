#pragma once
// Input while an area is read on the user-interface thread.
//
// Reading runs inside a slot; the only look at the outside world is Poll(), every 50 messages. Poll
// lets the window system deliver what is waiting, but user input (mouse, keys, wheel, closing) is
// held back instead of reaching any widget, so no handler of ours runs in the middle of a read. A
// left button press among it asks for the abort. End() hands the held input back in its order, so
// the click that aborted is then handled as usual.
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
    // True once a left button press arrived since Begin().
    bool Poll();
    void End();
    bool Active() const { return active_; }

    // Events that are held while reading.
    static bool IsHeldInput(const QEvent& event);

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
