// SPDX-License-Identifier: MIT
#include "QtBackgroundWork.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

QtBackgroundWork::QtBackgroundWork(QObject* context) : m_context(context) {
    // A printer's questions wait on the network, not on the processor.
    m_pool.setMaxThreadCount(4);
}

QtBackgroundWork::~QtBackgroundWork() {
    m_context = nullptr;
    m_pool.waitForDone();
}

void QtBackgroundWork::Start(std::function<std::function<void()>()> work) {
    ++m_pending;
    QPointer<QObject> context = m_context;
    int* pending = &m_pending;
    m_pool.start([context, pending, work = std::move(work)] {
        std::function<void()> done = work();
        if (context) {
            QMetaObject::invokeMethod(
                context.data(),
                [pending, done = std::move(done)] {
                    --*pending;
                    done();
                },
                Qt::QueuedConnection);
        }
    });
}

void QtBackgroundWork::Settle() {
    while (m_pending > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(2);
    }
}
