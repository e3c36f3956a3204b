#include "progresswatch.h"

ProgressWatch::ProgressWatch(QObject *parent) : QObject(parent)
{
    m_pollTimer.setInterval(100);
    connect(&m_pollTimer, &QTimer::timeout, this, [this] {
        m_done = m_doneCounter ? m_doneCounter->load() : 0;
        m_total = m_totalCounter ? m_totalCounter->load() : 0;
        Q_EMIT progressChanged();
    });
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(ShowDelayMs);
    connect(&m_showTimer, &QTimer::timeout, this, [this] {
        m_shown = true;
        Q_EMIT shownChanged();
    });
}

void ProgressWatch::start(const std::atomic<int> *done, const std::atomic<int> *total)
{
    m_doneCounter = done;
    m_totalCounter = total;
    m_done = 0;
    m_total = 0;
    m_shown = false;
    m_pollTimer.start();
    m_showTimer.start();
    Q_EMIT progressChanged();
    Q_EMIT shownChanged();
}

void ProgressWatch::stop()
{
    m_pollTimer.stop();
    m_showTimer.stop();
    m_doneCounter = nullptr;
    m_totalCounter = nullptr;
    if (m_shown) {
        m_shown = false;
        Q_EMIT shownChanged();
    }
}
