#pragma once

#include <QCoreApplication>
#include <QTimer>

// Runs the application's main loop until it ends or the deadline passes; -1 for the deadline.
inline int runMainLoop(int deadlineMs)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, qApp, [] { QCoreApplication::exit(-1); });
    deadline.start(deadlineMs);
    return QCoreApplication::exec();
}
