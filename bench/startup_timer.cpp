// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up of programs from process start, in fresh processes: a window
// program until its first window shows text, any other until it exits; and
// the peak resident memory of each. The programs run in turn, round after
// round, each round in an order of its own, and one table of medians is
// printed, each as a ratio to the first program of its kind.
//   startup-timer RUNS (--window NAME COMMAND | --exit NAME COMMAND)...
// Commands run through /bin/sh -c in the working directory, output discarded,
// each after the same pause.
//
// A window "shows text" when one of its pixel rows crosses at least
// textRuns separate dark runs: glyphs do, frames and lines and an empty
// window do not. Xvfb's root should be plain (-br): a window not drawn yet
// shows the root through it. The window is looked at whenever the program
// draws into it (DAMAGE) and every few milliseconds besides.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/ptrace.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int textRuns = 12;
constexpr int darkBelow = 128;        // luminance of a dark pixel, of 255
constexpr int smallestWindow = 100;   // pixels a side: smaller windows are helpers
constexpr int checkEveryMs = 5;
constexpr int giveUpMs = 30000;
// Every program starts after the same pause. Without one, a program started
// right after another exited found the processors busy, and one started
// after a window was closed (its end waited for in steps of 10 ms) found
// them idle, slower to wake: the order of the programs weighed in their
// ratios by as much as a tenth. Long enough for the X server to have let
// the last window go.
constexpr int pauseBeforeStartMs = 50;

struct Program {
    bool window;
    std::string name, command;
    std::vector<double> mappedMs, readyMs;  // readyMs: text shown, or exited
    std::vector<long> peakKb;
};

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

pid_t start(const std::string& command, bool traced)
{
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        if (traced)
            ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

// The peak resident memory of a live process, in KiB.
long peakResidentKb(pid_t process)
{
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

void stop(pid_t process)
{
    kill(process, SIGTERM);
    for (int waited = 0; waitpid(process, nullptr, WNOHANG) == 0; ++waited) {
        if (waited == 200)
            kill(process, SIGKILL);
        usleep(10000);
    }
}

bool xFailed = false;
int onXError(Display*, XErrorEvent*)
{
    xFailed = true;  // the window went away while looked at
    return 0;
}

// A window's pixels, fetched through shared memory where the server offers
// it: a look at a whole window then costs well under a millisecond.
class WindowPixels {
public:
    explicit WindowPixels(Display* display) : display(display), shared(XShmQueryExtension(display)) {}
    ~WindowPixels() { release(); }

    // The window's pixels, or null when it cannot be looked at (gone, unmapped).
    XImage* fetch(Window window, const XWindowAttributes& attributes)
    {
        xFailed = false;
        if (!shared) {
            release();
            image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
            XSync(display, False);
            return xFailed ? nullptr : image;
        }
        if (!image || image->width != attributes.width || image->height != attributes.height) {
            release();
            image = XShmCreateImage(display, attributes.visual, attributes.depth, ZPixmap, nullptr, &segment,
                                    attributes.width, attributes.height);
            segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * image->height,
                                   IPC_CREAT | 0600);
            segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
            segment.readOnly = False;
            XShmAttach(display, &segment);
            shmctl(segment.shmid, IPC_RMID, nullptr);  // gone once both sides detach
        }
        XShmGetImage(display, window, image, 0, 0, AllPlanes);
        XSync(display, False);
        return xFailed ? nullptr : image;
    }

private:
    void release()
    {
        if (image && shared) {
            XShmDetach(display, &segment);
            XSync(display, False);
            shmdt(segment.shmaddr);
            image->data = nullptr;
        }
        if (image)
            XDestroyImage(image);
        image = nullptr;
    }

    Display* display;
    bool shared;
    XShmSegmentInfo segment = {};
    XImage* image = nullptr;
};

bool showsText(Display* display, WindowPixels& pixels, Window window)
{
    XWindowAttributes attributes;
    xFailed = false;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    XImage* image = pixels.fetch(window, attributes);
    if (!image)
        return false;
    // Xvfb's true-colour visuals keep a pixel in 32 bits: read them directly.
    const Visual* visual = attributes.visual;
    auto shift = [](unsigned long mask) {
        int bits = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++bits;
        }
        return bits;
    };
    const int red = shift(visual->red_mask), green = shift(visual->green_mask), blue = shift(visual->blue_mask);
    bool found = false;
    for (int y = 0; y < image->height && !found; ++y) {
        const char* row = image->data + static_cast<std::size_t>(y) * image->bytes_per_line;
        int runs = 0;
        bool inRun = false;
        for (int x = 0; x < image->width; ++x) {
            unsigned long pixel;
            if (image->bits_per_pixel == 32) {
                std::uint32_t word;
                std::memcpy(&word, row + 4 * x, 4);
                pixel = word;
            } else {
                pixel = XGetPixel(image, x, y);
            }
            const int luminance = static_cast<int>(((pixel >> red) & 0xFF) * 3 + ((pixel >> green) & 0xFF) * 6 +
                                                   ((pixel >> blue) & 0xFF)) / 10;
            const bool dark = luminance < darkBelow;
            runs += dark && !inRun;
            inRun = dark;
        }
        found = runs >= textRuns;
    }
    return found;
}

// One run of a window program; false when it showed no text in time.
bool timeWindow(Display* display, WindowPixels& pixels, Program& program)
{
    const Window root = DefaultRootWindow(display);
    int damageEvent = 0, damageError = 0;
    XDamageQueryExtension(display, &damageEvent, &damageError);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);  // forget earlier events

    usleep(pauseBeforeStartMs * 1000);
    const auto begin = Clock::now();
    const pid_t child = start(program.command, false);
    Window shown = None;
    double mapped = 0, ready = -1;
    while (ready < 0 && msSince(begin) < giveUpMs && waitpid(child, nullptr, WNOHANG) == 0) {
        if (!XPending(display)) {
            pollfd connection = {ConnectionNumber(display), POLLIN, 0};
            poll(&connection, 1, checkEveryMs);
        }
        bool look = !XPending(display);  // a pause: look anyway
        double at = msSince(begin);
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            // Watched from its creation, before anything can be drawn into
            // it; the server drops the watch with the window.
            if (event.type == CreateNotify && event.xcreatewindow.parent == root &&
                !event.xcreatewindow.override_redirect)
                XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
            if (event.type == MapNotify && event.xmap.event == root && shown == None &&
                !event.xmap.override_redirect) {
                XWindowAttributes attributes;
                if (XGetWindowAttributes(display, event.xmap.window, &attributes) &&
                    attributes.width >= smallestWindow && attributes.height >= smallestWindow) {
                    shown = event.xmap.window;
                    mapped = msSince(begin);
                    look = true;
                }
            }
            if (event.type == damageEvent + XDamageNotify) {
                const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                XDamageSubtract(display, damage.damage, None, None);
                if (damage.drawable == shown) {
                    look = true;
                    at = msSince(begin);
                }
            }
        }
        if (shown != None && look && showsText(display, pixels, shown))
            ready = at;
    }
    if (ready >= 0) {
        program.mappedMs.push_back(mapped);
        program.readyMs.push_back(ready);
        program.peakKb.push_back(peakResidentKb(child));
    }
    stop(child);
    XSelectInput(display, root, NoEventMask);
    XSync(display, True);
    return ready >= 0;
}

bool timeExit(Program& program)
{
    usleep(pauseBeforeStartMs * 1000);
    const auto begin = Clock::now();
    const pid_t child = start(program.command, false);
    int status = 0;
    waitpid(child, &status, 0);
    program.readyMs.push_back(msSince(begin));
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Peak resident memory of a program that exits, read when it is about to:
// traced, so not timed.
long exitPeakKb(const std::string& command)
{
    const pid_t child = start(command, true);
    long peak = 0;
    int status = 0;
    bool optionsSet = false;
    while (waitpid(child, &status, 0) == child && WIFSTOPPED(status)) {
        int signal = 0;
        if (!optionsSet) {  // stopped at the first exec
            ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC);
            optionsSet = true;
        } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            peak = peakResidentKb(child);
        } else if (WSTOPSIG(status) != SIGTRAP) {
            signal = WSTOPSIG(status);
        }
        ptrace(PTRACE_CONT, child, nullptr, signal);
    }
    return peak;
}

// Every program in turn, round after round; round 0 warms the caches and is
// dropped. Each round takes the programs in an order of its own, shuffled
// (the same shuffles at every call), so that over the rounds each program
// follows every other about alike: what ran just before weighs in (after
// one set of programs the same window came out a tenth quicker than after
// another, pause or not), and an order that only rotates would keep each
// program behind the same one.
bool measure(Display* display, int runs, std::vector<Program>& programs)
{
    WindowPixels pixels(display);
    std::vector<std::size_t> order(programs.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 shuffler(1);
    for (int round = 0; round <= runs; ++round) {
        std::shuffle(order.begin(), order.end(), shuffler);
        for (const std::size_t turn : order) {
            Program& program = programs[turn];
            Program scratch = program;
            Program& into = round == 0 ? scratch : program;
            if (!(program.window ? timeWindow(display, pixels, into) : timeExit(into))) {
                std::fprintf(stderr, "startup-timer: %s: %s\n", program.name.c_str(),
                             program.window ? "no text shown" : "failed");
                return false;
            }
        }
    }
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int usage()
{
    std::fputs("Usage: startup-timer RUNS (--window NAME COMMAND | --exit NAME COMMAND)...\n", stderr);
    return 2;
}

}

int main(int argc, char** argv)
{
    if (argc < 5 || (argc - 2) % 3 != 0)
        return usage();
    const int runs = std::atoi(argv[1]);
    std::vector<Program> programs;
    for (int i = 2; i + 2 < argc; i += 3) {
        const std::string kind = argv[i];
        if (kind != "--window" && kind != "--exit")
            return usage();
        programs.push_back({kind == "--window", argv[i + 1], argv[i + 2], {}, {}, {}});
    }
    Display* display = XOpenDisplay(nullptr);
    int damageEvent, damageError;
    if (!display || runs < 1 || !XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fputs("startup-timer: no display with DAMAGE, or no runs\n", stderr);
        return 1;
    }
    XSetErrorHandler(onXError);
    const bool measured = measure(display, runs, programs);
    XCloseDisplay(display);
    if (!measured)
        return 1;
    for (Program& program : programs)
        if (!program.window)
            program.peakKb.push_back(exitPeakKb(program.command));

    std::printf("%-22s %11s %15s %6s %-10s %9s %6s\n", "program", "window (ms)", "text/exit (ms)", "ratio",
                "to", "peak RSS", "ratio");
    const Program* base[2] = {nullptr, nullptr};
    for (const Program& program : programs) {
        const Program*& first = base[program.window];
        if (!first)
            first = &program;
        auto peak = [](const Program& of) {
            return median(std::vector<double>(of.peakKb.begin(), of.peakKb.end())) / 1024;
        };
        char window[16] = "-";
        if (program.window)
            std::snprintf(window, sizeof window, "%.1f", median(program.mappedMs));
        const double ready = median(program.readyMs);
        std::printf("%-22s %11s %15.1f %6.2f %-10s %6.1f MB %6.2f\n", program.name.c_str(), window, ready,
                    ready / median(first->readyMs), first->name.c_str(), peak(program), peak(program) / peak(*first));
    }
    std::printf("medians of %d runs, each program in turn\n", runs);
    return 0;
}
