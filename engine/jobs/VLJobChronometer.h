#pragma once

#include "engine/jobs/VLInterimChronometer.h"

#include <QCoreApplication>
#include <QThread>

#include <memory>

// The jobs' chronometers live on the GUI thread and are released there, whichever thread
// releases the job.
inline void VLReleaseJobChronometer(VLInterimChronometer *chronometer)
{
    if (!chronometer)
        return;
    chronometer->setDelegate(nullptr);
    chronometer->stop();
    if (chronometer->thread() == QThread::currentThread())
        delete chronometer;
    else
        chronometer->deleteLater();
}

inline VLInterimChronometer *VLMakeJobChronometer()
{
    auto *chronometer = new VLInterimChronometer;
    if (QCoreApplication::instance() && chronometer->thread() != QCoreApplication::instance()->thread())
        chronometer->moveToThread(QCoreApplication::instance()->thread());
    return chronometer;
}
