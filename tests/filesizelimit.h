#ifndef BOXMERE_TESTS_FILESIZELIMIT_H
#define BOXMERE_TESTS_FILESIZELIMIT_H

#include <csignal>
#include <sys/resource.h>

// Makes every write past `bytes` fail with EFBIG while in scope: a full disk
// that needs no privileges to set up.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes) : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    void (*m_oldHandler)(int) = nullptr;
    rlimit m_old{};
};

#endif
