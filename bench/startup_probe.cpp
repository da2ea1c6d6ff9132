// Starts a program on an X server and watches it from outside, as a user's eyes would: the time from
// the fork to the first top-level window of that process being mapped, and to the last drawing into
// it before it stays still for a quiet period. Then the program is killed and its peak memory read.
// Nothing inside the measured program changes.
//
//   startup_probe [-C DIR] [-q QUIET_MS] [-t TIMEOUT_MS] PROGRAM [ARGS...]
//
// Prints one line: "mapped_ms painted_ms maxrss_kb cpu_ms" (cpu_ms: user and system time the program
// used until it was killed), or exits 1 when no window showed in time.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A window's _NET_WM_PID, or 0. Errors (the window already gone) are swallowed by the handler.
long WindowPid(Display* display, Window window, Atom pidAtom)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after, &data)
            == Success
        && data) {
        if (type == XA_CARDINAL && format == 32 && items == 1)
            pid = *reinterpret_cast<long*>(data);
        XFree(data);
    }
    return pid;
}

int IgnoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

void Usage()
{
    std::fprintf(stderr, "usage: startup_probe [-v] [-C DIR] [-q QUIET_MS] [-t TIMEOUT_MS] PROGRAM [ARGS...]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv)
{
    const char* directory = nullptr;
    int quietMs = 300;
    int timeoutMs = 20000;
    bool traceDrawing = false; // -v: every drawing into the window, to stderr
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (!std::strcmp(argv[arg], "-v")) {
            traceDrawing = true;
            continue;
        }
        if (arg + 1 >= argc)
            Usage();
        if (!std::strcmp(argv[arg], "-C"))
            directory = argv[++arg];
        else if (!std::strcmp(argv[arg], "-q"))
            quietMs = std::atoi(argv[++arg]);
        else if (!std::strcmp(argv[arg], "-t"))
            timeoutMs = std::atoi(argv[++arg]);
        else
            Usage();
    }
    if (arg >= argc)
        Usage();

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "startup_probe: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(IgnoreErrors);
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "startup_probe: the X server has no DAMAGE extension\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    // Selected before the fork, so that no window of the child can be missed.
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const auto start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        close(ConnectionNumber(display));
        if (directory && chdir(directory) != 0) {
            std::perror("chdir");
            _exit(127);
        }
        execv(argv[arg], argv + arg);
        std::perror("execv");
        _exit(127);
    }

    // Every new top-level window is watched for drawing from its creation on, before its owner is
    // known (the pid property may come later than the first paint could).
    std::set<Window> watched;
    Window shown = None;
    double mappedMs = -1;
    double paintedMs = -1;
    bool exited = false;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
                XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
                watched.insert(event.xcreatewindow.window);
            } else if (event.type == MapNotify && shown == None && watched.count(event.xmap.window)
                && WindowPid(display, event.xmap.window, pidAtom) == child) {
                shown = event.xmap.window;
                mappedMs = MillisecondsSince(start);
                if (traceDrawing) {
                    XWindowAttributes attributes {};
                    XGetWindowAttributes(display, shown, &attributes);
                    std::fprintf(stderr, "mapped at %.1f ms: %dx%d\n", mappedMs, attributes.width, attributes.height);
                }
            } else if (event.type == damageEvent + XDamageNotify) {
                const auto* damage = reinterpret_cast<XDamageNotifyEvent*>(&event);
                // Subtract so that the next drawing is reported too.
                XDamageSubtract(display, damage->damage, None, None);
                if (shown != None && damage->drawable == shown) {
                    paintedMs = MillisecondsSince(start);
                    if (traceDrawing)
                        std::fprintf(stderr, "drawn at %.1f ms: %dx%d at %d,%d\n", paintedMs, damage->area.width,
                            damage->area.height, damage->area.x, damage->area.y);
                }
            }
        }
        const double now = MillisecondsSince(start);
        if (paintedMs >= 0 && now - paintedMs >= quietMs)
            break;
        if (now >= timeoutMs)
            break;
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            exited = true;
            break;
        }
        pollfd fd { ConnectionNumber(display), POLLIN, 0 };
        poll(&fd, 1, 5);
    }

    rusage usage {};
    int status = 0;
    if (!exited) {
        kill(child, SIGKILL);
        wait4(child, &status, 0, &usage);
    } else {
        getrusage(RUSAGE_CHILDREN, &usage);
    }
    XCloseDisplay(display);
    if (mappedMs < 0 || paintedMs < 0) {
        std::fprintf(stderr, "startup_probe: %s showed no window%s\n", argv[arg], exited ? " and ended" : " in time");
        return 1;
    }
    const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    std::printf("%.1f %.1f %ld %.1f\n", mappedMs, paintedMs, usage.ru_maxrss, cpuMs);
    if (traceDrawing)
        std::fprintf(stderr, "cpu: user %.1f ms, system %.1f ms; page faults: %ld minor, %ld major\n",
            usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3,
            usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3, usage.ru_minflt, usage.ru_majflt);
    return 0;
}
