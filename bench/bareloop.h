#ifndef BOXMERE_BENCH_BARELOOP_H
#define BOXMERE_BENCH_BARELOOP_H

#include <algorithm>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The floor any reader can reach: list, open, read and parse every number of every
// line, nothing else. Counts the lines that hold a class.
inline long bareReadLoop(const std::string &dir)
{
    long boxes = 0;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return -1;
    static char buffer[1 << 20];
    double sum = 0;
    while (dirent *e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0)
            continue;
        const int fd = open((dir + "/" + name).c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        close(fd);
        const char *p = buffer;
        const char *end = buffer + std::max<ssize_t>(n, 0);
        while (p < end) {
            int cat = 0;
            p = std::from_chars(p, end, cat).ptr;
            while (p < end && *p != '\n') {
                while (p < end && *p == ' ')
                    ++p;
                double x = 0;
                const auto r = std::from_chars(p, end, x);
                if (r.ptr == p)
                    break;
                p = r.ptr;
                sum += x;
            }
            while (p < end && *p != '\n')
                ++p;
            ++p;
            ++boxes;
        }
    }
    closedir(d);
    // Keeps the parsed values alive for the optimiser.
    return sum < -1 ? -1 : boxes;
}

#endif
