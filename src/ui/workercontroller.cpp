#include "workercontroller.h"

WorkerController::WorkerController() : QObject(nullptr)
{
    connect(&m_progress, &ProgressWatch::progressChanged, this, &WorkerController::progressChanged);
    connect(&m_progress, &ProgressWatch::shownChanged, this, &WorkerController::busyChanged);
}

WorkerController::~WorkerController()
{
    join();
}

void WorkerController::start(std::function<void()> work, std::function<void()> ended, const std::atomic<int> *done,
                             const std::atomic<int> *total)
{
    join();
    const int generation = ++m_generation;
    m_ended = std::move(ended);
    m_thread = std::thread([this, work = std::move(work), generation] {
        work();
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                // join() may have ended this work already, and other work may run.
                if (generation == m_generation && m_thread.joinable() && m_ended)
                    m_ended();
            },
            Qt::QueuedConnection);
    });
    m_progress.start(done, total);
    Q_EMIT busyChanged();
}

void WorkerController::join()
{
    if (m_thread.joinable())
        m_thread.join();
}
