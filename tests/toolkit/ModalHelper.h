#pragma once
// Runs an action on the next modal dialog that opens, so tests can drive
// exec()-based message boxes without a person at the keyboard.

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class ModalWatcher
{
public:
    // action gets the modal widget; it should end the modal run. The watcher
    // gives up after timeoutMs or when it goes out of scope.
    explicit ModalWatcher(std::function<void(QWidget *)> action, int timeoutMs = 5000)
        : m_state(std::make_shared<State>())
    {
        m_timer = new QTimer;
        QTimer *timer = m_timer;
        std::shared_ptr<State> state = m_state;
        QObject::connect(timer, &QTimer::timeout, timer, [timer, action, state, timeoutMs]() {
            state->elapsed += 10;
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && modal->isVisible()) {
                timer->stop();
                timer->deleteLater();
                state->fired = true;
                action(modal);
            } else if (state->elapsed > timeoutMs) {
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start(10);
    }
    ~ModalWatcher() { delete m_timer.data(); }
    bool fired() const { return m_state->fired; }

private:
    struct State {
        int elapsed = 0;
        bool fired = false;
    };
    std::shared_ptr<State> m_state;
    QPointer<QTimer> m_timer;
};
