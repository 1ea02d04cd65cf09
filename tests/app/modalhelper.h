#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

// Answers the next modal message box once it is up: the callback sees the
// box and closes it in whatever way the test needs. A test that expects no
// box names an owner whose end also ends the watch, so that the callback
// does not outlive what it captured.
inline void whenMessageBoxShows(std::function<void(QMessageBox*)> answer, QObject* owner = nullptr)
{
    auto* poll = new QTimer(owner);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer]() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(box);
        }
    });
    poll->start();
}
