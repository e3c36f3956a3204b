#ifndef BOXMERE_WORKERCONTROLLER_H
#define BOXMERE_WORKERCONTROLLER_H

#include "ui/progresswatch.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <thread>

// A window controller whose work runs on a worker thread, one piece at a time, so
// that the window stays responsive; it follows the work's counters for the window's
// progress bar.
class WorkerController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool showProgress READ showProgress NOTIFY busyChanged)
    Q_PROPERTY(int done READ done NOTIFY progressChanged)
    Q_PROPERTY(int total READ total NOTIFY progressChanged)

public:
    // Waits for running work.
    ~WorkerController() override;

    virtual bool busy() const = 0;
    bool showProgress() const { return m_progress.shown(); }
    int done() const { return m_progress.done(); }
    int total() const { return m_progress.total(); }

Q_SIGNALS:
    void busyChanged();
    void progressChanged();

protected:
    WorkerController();

    // Waits for running work, then runs work on a new thread and follows the counters,
    // which must outlive the next join(). When work returns, ended runs on this
    // object's thread, unless join() came first. Announces busy.
    void start(std::function<void()> work, std::function<void()> ended, const std::atomic<int> *done,
               const std::atomic<int> *total);
    // Waits for the work to return; its ended call is then dropped.
    void join();
    // Stops following the counters.
    void stopProgress() { m_progress.stop(); }

private:
    std::thread m_thread;
    std::function<void()> m_ended;
    int m_generation = 0;
    ProgressWatch m_progress;
};

#endif
