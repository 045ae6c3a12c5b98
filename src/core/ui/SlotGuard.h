#pragma once
// The one guard between Qt and the program: no exception leaves a slot or an event handler.
//
// Guarded() runs a piece of work and turns whatever it throws into one error box; GuardedConnect()
// is connect() with the slot wrapped in it, written exactly like the connect() it replaces:
//     GuardedConnect(button, &QPushButton::clicked, this, &TForm::Send);
//     GuardedConnect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { ... });
//     GuardedConnect(timer, &QTimer::timeout, [] { ... });
//     GuardedConnect(app, &QGuiApplication::commitDataRequest, this, &TKeeper::Commit, Qt::DirectConnection);
// TGuardedApplication is the last net under every event handler for what a guard did not catch.
#include <QApplication>
#include <QObject>
#include <QPointer>
#include <exception>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

class QWidget;

namespace pelmar::ui {

// The box's text for a caught exception: an engine read error (every base error that is neither a
// write nor a conversion) after "Ошибка при чтении базы:\r\n", a failed write after
// "Ошибка при записи в базу:\r\n", anything else after a neutral "Ошибка:\r\n" (CP1251).
std::string GuardErrorText(const std::exception_ptr& error);
// Shows the error box for `error` over `parent`'s window (the active window when null).
void ReportGuardedError(const std::exception_ptr& error, QWidget* parent = nullptr);
// Tests: the texts go to `sink` instead of a modal box; an empty function restores the box.
void SetGuardErrorSinkForTesting(std::function<void(const std::string& text)> sink);

// Runs `work`; whatever it throws becomes the error box and never escapes. True when it ended normally.
template <typename Work>
bool Guarded(Work&& work, QWidget* parent = nullptr) {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (...) {
        ReportGuardedError(std::current_exception(), parent);
        return false;
    }
}

namespace detail {

QWidget* WindowOf(const QObject* object);

template <typename F, typename Tuple, typename Front, typename Seq>
struct TPrefixCallable;
template <typename F, typename Tuple, typename... Front, size_t... I>
struct TPrefixCallable<F, Tuple, std::tuple<Front...>, std::index_sequence<I...>>
    : std::is_invocable<F&, Front..., std::tuple_element_t<I, Tuple>...> {};

// Calls `f` with `front` and the longest leading part of the signal's arguments it takes, as Qt
// does for a slot with fewer parameters than its signal.
template <size_t N, typename F, typename Tuple, typename... Front>
void CallWithLeading(F& f, Tuple& args, Front... front) {
    if constexpr (TPrefixCallable<F, Tuple, std::tuple<Front...>, std::make_index_sequence<N>>::value) {
        [&]<size_t... I>(std::index_sequence<I...>) {
            std::invoke(f, front..., std::get<I>(args)...);
        }
        (std::make_index_sequence<N>{});
    } else {
        static_assert(N > 0, "the slot does not take the signal's arguments");
        if constexpr (N > 0) CallWithLeading<N - 1>(f, args, front...);
    }
}

// A slot (functor, or member function of `Object`) run inside the guard.
template <typename Slot, typename Object>
struct TGuardedSlot {
    Slot SlotFn;
    Object* Target;  // the member function's object; null for a functor
    QPointer<const QObject> Context;

    // Takes no more of the signal's arguments than the slot does, so that Qt counts them as for the
    // slot itself: a queued call has no value for a signal's private tag, only a null pointer.
    template <typename... Args>
    requires(std::is_member_function_pointer_v<Slot> ? std::is_invocable_v<Slot&, Object*, Args...>
                                                     : std::is_invocable_v<Slot&, Args...>) void
    operator()(Args&&... args) {
        auto all = std::forward_as_tuple(args...);
        Guarded(
            [&] {
                if constexpr (std::is_member_function_pointer_v<Slot>)
                    CallWithLeading<sizeof...(Args)>(SlotFn, all, Target);
                else
                    CallWithLeading<sizeof...(Args)>(SlotFn, all);
            },
            WindowOf(Context.data()));
    }
};

}  // namespace detail

// connect(sender, signal, receiver-or-context, slot-or-functor[, type]) with the slot guarded.
template <typename Sender, typename Signal, typename Receiver, typename Slot>
requires std::is_base_of_v<QObject, std::remove_const_t<Receiver>> QMetaObject::Connection GuardedConnect(
    Sender* sender, Signal signal, Receiver* receiver, Slot slot,
    Qt::ConnectionType type = Qt::AutoConnection) {
    using TSlot = std::decay_t<Slot>;
    if constexpr (std::is_member_function_pointer_v<TSlot>) {
        return QObject::connect(sender, signal, receiver,
                                detail::TGuardedSlot<TSlot, Receiver>{slot, receiver, receiver}, type);
    } else {
        return QObject::connect(
            sender, signal, receiver,
            detail::TGuardedSlot<TSlot, const QObject>{std::move(slot), nullptr, receiver}, type);
    }
}

// connect(sender, signal, functor): the sender is the context, the call direct, as with Qt's form.
template <typename Sender, typename Signal, typename Slot>
requires(!std::is_pointer_v<std::decay_t<Slot>>) QMetaObject::Connection
    GuardedConnect(Sender* sender, Signal signal, Slot slot) {
    using TSlot = std::decay_t<Slot>;
    return QObject::connect(sender, signal, sender,
                            detail::TGuardedSlot<TSlot, const QObject>{std::move(slot), nullptr, sender},
                            Qt::DirectConnection);
}

// Delivers the event through QApplication; whatever its handler throws is shown once the event is
// over (at once to the test sink) and the delivery counts as unhandled.
bool DeliverGuarded(QObject* receiver, QEvent* event);

// The application object of the program: an exception that escapes an event handler (a paint, a
// key, a timer, a slot connected without the guard) is shown once it is over, and the program goes on.
class TGuardedApplication : public QApplication {
public:
    TGuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace pelmar::ui
