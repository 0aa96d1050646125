// Times programs from fork() to their first line on stdout, alternating
// between them so that both see the same machine state, and prints medians.
//   startup_runner ROUNDS -- NAME CMD... -- NAME CMD...

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct Subject
{
    std::string name;
    std::vector<char *> argv;
    std::vector<double> ms;
    std::vector<double> peakMiB;
};

static bool runOnce(Subject &s)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        execv(s.argv[0], s.argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string line;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        line += c;
    const auto t1 = std::chrono::steady_clock::now();
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    long kib = -1;
    if (std::sscanf(line.c_str(), "painted %ld", &kib) != 1)
        return false;
    s.ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    s.peakMiB.push_back(kib / 1024.0);
    return true;
}

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int main(int argc, char **argv)
{
    if (argc < 4)
        return 2;
    const int rounds = std::atoi(argv[1]);
    std::vector<Subject> subjects;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            subjects.push_back({ argv[++i], {}, {}, {} });
            continue;
        }
        subjects.back().argv.push_back(argv[i]);
    }
    for (auto &s : subjects)
        s.argv.push_back(nullptr);
    for (auto &s : subjects) // warm the page cache and font caches
        runOnce(s);
    for (auto &s : subjects) {
        s.ms.clear();
        s.peakMiB.clear();
    }
    for (int r = 0; r < rounds; ++r)
        for (auto &s : subjects)
            if (!runOnce(s)) {
                std::fprintf(stderr, "%s did not report its first paint\n", s.name.c_str());
                return 1;
            }
    for (auto &s : subjects)
        std::printf("%-8s start to first paint: median %.1f ms   peak memory: median %.1f MiB   (%d runs)\n",
                    s.name.c_str(), median(s.ms), median(s.peakMiB), rounds);
    for (size_t i = 1; i < subjects.size(); ++i)
        std::printf("ratio %s/%s: time %.2fx, memory %.2fx\n", subjects[0].name.c_str(), subjects[i].name.c_str(),
                    median(subjects[0].ms) / median(subjects[i].ms),
                    median(subjects[0].peakMiB) / median(subjects[i].peakMiB));
    return 0;
}
