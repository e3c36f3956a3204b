#ifndef BOXMERE_CLIPROGRESS_H
#define BOXMERE_CLIPROGRESS_H

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A progress bar on standard error while a long piece of work runs, drawn only when
// standard error is a terminal and the work takes more than half a second. The work
// counts into done and total; the bar is wiped when the object goes.
class CliProgress
{
public:
    CliProgress(const QString &what, const std::atomic<int> *done, const std::atomic<int> *total);
    ~CliProgress();
    CliProgress(const CliProgress &) = delete;
    CliProgress &operator=(const CliProgress &) = delete;

private:
    void run();
    void draw();

    QString m_what;
    const std::atomic<int> *m_done;
    const std::atomic<int> *m_total;
    bool m_drawn = false;
    bool m_stop = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
};

#endif
