#include "cliprogress.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr auto Delay = std::chrono::milliseconds(500);
constexpr auto Interval = std::chrono::milliseconds(100);
constexpr int BarWidth = 30;

} // namespace

CliProgress::CliProgress(const QString &what, const std::atomic<int> *done, const std::atomic<int> *total)
    : m_what(what), m_done(done), m_total(total)
{
    if (isatty(STDERR_FILENO))
        m_thread = std::thread([this] { run(); });
}

CliProgress::~CliProgress()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_drawn) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

void CliProgress::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_wake.wait_for(lock, Delay, [this] { return m_stop; }))
        return;
    while (!m_stop) {
        draw();
        m_wake.wait_for(lock, Interval, [this] { return m_stop; });
    }
}

void CliProgress::draw()
{
    const int done = m_done->load(std::memory_order_relaxed);
    const int total = m_total->load(std::memory_order_relaxed);
    char bar[BarWidth + 1];
    const int filled = total > 0 ? int(qint64(BarWidth) * qMin(done, total) / total) : 0;
    for (int i = 0; i < BarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[BarWidth] = '\0';
    if (total > 0)
        std::fprintf(stderr, "\r%s [%s] %d/%d", qPrintable(m_what), bar, done, total);
    else
        std::fprintf(stderr, "\r%s ...", qPrintable(m_what));
    std::fflush(stderr);
    m_drawn = true;
}
