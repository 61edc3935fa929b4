// Short-lived processes, each under an executable name of its own, for bench/growth.sh.
//
//   churn <folder> <count> <seconds> <lifetime>
// starts <count> processes evenly over <seconds>. Each runs this program through a hard link
// "<folder>/churn-<n>" (removed once it runs, so no file is left behind; /proc still shows the
// name), burns about 2 ms of CPU, so that a pass counts it and has to name it, and lives
// <lifetime> seconds, so that a pass sees it.
//
// Built by the script with the system compiler; not part of the project's build.

#include <signal.h>
#include <spawn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace {

double seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

int burn(double lifetime) {
    const double start = seconds(CLOCK_PROCESS_CPUTIME_ID);
    while (seconds(CLOCK_PROCESS_CPUTIME_ID) - start < 0.002) {
    }
    const double rest = lifetime > 0 ? lifetime : 0;
    timespec ts{static_cast<time_t>(rest), static_cast<long>((rest - static_cast<double>(static_cast<time_t>(rest))) * 1e9)};
    nanosleep(&ts, nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "burn") == 0) return burn(std::atof(argv[2]));
    if (argc != 5) {
        std::fprintf(stderr, "usage: churn <folder> <count> <seconds> <lifetime>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const long count = std::atol(argv[2]);
    const double span = std::atof(argv[3]);
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';
    signal(SIGCHLD, SIG_IGN);  // reaped by the kernel
    const double start = seconds(CLOCK_MONOTONIC);
    for (long i = 0; i < count; ++i) {
        const double due = start + span * static_cast<double>(i) / static_cast<double>(count);
        if (const double wait = due - seconds(CLOCK_MONOTONIC); wait > 0) usleep(static_cast<useconds_t>(wait * 1e6));
        char name[64];
        std::snprintf(name, sizeof name, "churn-%06ld", i);
        const std::string link = folder + "/" + name;
        if (::link(self, link.c_str()) != 0) {
            std::perror("link");
            return 1;
        }
        char burnArg[] = "burn";
        char* args[] = {name, burnArg, argv[4], nullptr};
        pid_t pid = 0;
        // posix_spawn returns once the child has run the link, so it can go at once.
        const int rc = posix_spawn(&pid, link.c_str(), nullptr, nullptr, args, environ);
        ::unlink(link.c_str());
        if (rc != 0) {
            std::fprintf(stderr, "spawn: %s\n", std::strerror(rc));
            return 1;
        }
    }
    return 0;
}
