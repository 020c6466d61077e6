// Times programs from process start: a window program until its first
// top-level window is mapped, any other until it exits. The two kinds run
// alternately, and the medians and their ratio are printed.
//   startup-timer RUNS WINDOW_COMMAND -- OTHER_COMMAND
// Commands are run by /bin/sh -c in the working directory, output discarded.
#include <X11/Xlib.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

pid_t start(const std::string& command)
{
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

double untilMapped(Display* display, const std::string& command)
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);  // forget earlier events
    const auto begin = Clock::now();
    const pid_t child = start(command);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    return ms;
}

double untilExit(const std::string& command)
{
    const auto begin = Clock::now();
    const pid_t child = start(command);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "'%s' failed\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}

int main(int argc, char** argv)
{
    if (argc != 5 || std::string(argv[3]) != "--") {
        std::fputs("Usage: startup-timer RUNS WINDOW_COMMAND -- OTHER_COMMAND\n", stderr);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    Display* display = XOpenDisplay(nullptr);
    if (!display || runs < 1) {
        std::fputs("startup-timer: no display, or no runs\n", stderr);
        return 1;
    }
    std::vector<double> window, other;
    untilMapped(display, argv[2]);  // warm the caches once for each
    untilExit(argv[4]);
    for (int run = 0; run < runs; ++run) {
        window.push_back(untilMapped(display, argv[2]));
        other.push_back(untilExit(argv[4]));
    }
    const double windowMedian = median(window), otherMedian = median(other);
    std::printf("%s: median %.1f ms to the window mapped (%d runs)\n", argv[2], windowMedian, runs);
    std::printf("%s: median %.1f ms to exit (%d runs)\n", argv[4], otherMedian, runs);
    std::printf("ratio: %.2f\n", windowMedian / otherMedian);
    XCloseDisplay(display);
    return 0;
}
