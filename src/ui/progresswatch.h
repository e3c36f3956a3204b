#ifndef BOXMERE_PROGRESSWATCH_H
#define BOXMERE_PROGRESSWATCH_H

#include <QObject>
#include <QTimer>

#include <atomic>

// Follows the counters of work running on another thread for the window: reads them
// a few times a second, and says when the work has run long enough to show them.
class ProgressWatch : public QObject
{
    Q_OBJECT

public:
    // Work that takes longer than this shows its progress.
    static constexpr int ShowDelayMs = 500;

    explicit ProgressWatch(QObject *parent = nullptr);

    // Starts following the counters, which must outlive the next stop().
    void start(const std::atomic<int> *done, const std::atomic<int> *total);
    void stop();

    bool shown() const { return m_shown; }
    int done() const { return m_done; }
    int total() const { return m_total; }

Q_SIGNALS:
    void shownChanged();
    void progressChanged();

private:
    const std::atomic<int> *m_doneCounter = nullptr;
    const std::atomic<int> *m_totalCounter = nullptr;
    QTimer m_pollTimer;
    QTimer m_showTimer;
    bool m_shown = false;
    int m_done = 0;
    int m_total = 0;
};

#endif
