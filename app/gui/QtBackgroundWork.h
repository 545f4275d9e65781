// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/PrintersPageView.h"

#include <QObject>
#include <QPointer>
#include <QThreadPool>

// Runs the page's work on a pool of its own and hands each result to the
// window's thread, where it runs only while `context` lives. The pool is
// waited for when this goes, so no work outlives the window.
class QtBackgroundWork final : public tessaline::BackgroundWork {
public:
    explicit QtBackgroundWork(QObject* context);
    ~QtBackgroundWork() override;

    void Start(std::function<std::function<void()>()> work) override;
    // Waits until every work handed in so far has ended and its result ran.
    void Settle();

private:
    QPointer<QObject> m_context;
    QThreadPool m_pool;
    int m_pending = 0;
};
