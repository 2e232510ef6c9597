#include "app/terminal/TerminalRestore.h"

#include "app/terminal/Curses.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace terminal {
namespace {

volatile std::sig_atomic_t signalled = 0;
// The terminal went away (its window closed, its tmux server killed) without a signal reaching us.
bool inputClosed = false;

extern "C" void onQuitSignal(int sig) {
    signalled = sig;
}

constexpr int QuitSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[3];

void installQuitHandlers() {
    for (std::size_t i = 0; i < std::size(QuitSignals); ++i) {
        struct sigaction action {};
        action.sa_handler = onQuitSignal;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: a signal interrupts the wait for input, so the loop sees it at once.
        action.sa_flags = 0;
        sigaction(QuitSignals[i], &action, &previousActions[i]);
    }
}

void restoreQuitHandlers() {
    for (std::size_t i = 0; i < std::size(QuitSignals); ++i)
        sigaction(QuitSignals[i], &previousActions[i], nullptr);
}

// Every other signal whose default action ends the program: the terminal is put back as it was found,
// then the signal is raised again with its default action, so the exit status and any core dump are
// the signal's own. Only what is async-signal-safe runs here: a prepared write and tcsetattr.
constexpr int FatalSignals[] = {
    SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV, SIGUSR2,
    SIGPIPE,   SIGALRM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};
struct sigaction previousFatalActions[std::size(FatalSignals)];
bool fatalHandlerInstalled[std::size(FatalSignals)];

int terminalFd = -1;
struct termios terminalModes {};
bool haveTerminalModes = false;
char resetSequence[512];
std::size_t resetLength = 0;
// A handler for a stack that overflowed needs a stack of its own.
alignas(16) char alternateStack[64 * 1024];

extern "C" void onFatalSignal(int sig) {
    if (resetLength > 0) {
        std::size_t done = 0;
        while (done < resetLength) {
            const ssize_t n = ::write(terminalFd, resetSequence + done, resetLength - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
    }
    if (haveTerminalModes)
        ::tcsetattr(terminalFd, TCSANOW, &terminalModes);
    // SA_RESETHAND has put the default action back, and SA_NODEFER lets it act at once.
    ::raise(sig);
}

void appendReset(const char* capability) {
    const char* value = ::tigetstr(const_cast<char*>(capability));
    if (value == nullptr || value == reinterpret_cast<const char*>(-1))
        return;
    const std::size_t n = std::strlen(value);
    if (resetLength + n > sizeof resetSequence)
        return;
    std::memcpy(resetSequence + resetLength, value, n);
    resetLength += n;
}

// What endwin() would send, prepared while curses may still be asked: mouse reports off, keypad and
// cursor back to normal, attributes off, the main screen again.
void prepareReset() {
    resetLength = 0;
    const char* mouse = ::tigetstr(const_cast<char*>("kmous"));
    if (mouse != nullptr && mouse != reinterpret_cast<const char*>(-1) && mouse[0] == '\x1b' &&
        mouse[1] == '[') {
        const std::string off = "\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l";
        std::memcpy(resetSequence, off.data(), off.size());
        resetLength = off.size();
    }
    for (const char* capability : {"sgr0", "rmkx", "cnorm", "rmcup"})
        appendReset(capability);
}

void installFatalHandlers() {
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    ::sigaltstack(&stack, nullptr);
    for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
        fatalHandlerInstalled[i] = false;
        if (sigaction(FatalSignals[i], nullptr, &previousFatalActions[i]) != 0)
            continue;
        // Whoever started us chose to ignore it (nohup, a shell's trap ''): so do we.
        if (previousFatalActions[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigfillset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
        fatalHandlerInstalled[i] = sigaction(FatalSignals[i], &action, nullptr) == 0;
    }
}

void restoreFatalHandlers() {
    for (std::size_t i = 0; i < std::size(FatalSignals); ++i)
        if (fatalHandlerInstalled[i])
            sigaction(FatalSignals[i], &previousFatalActions[i], nullptr);
}

std::terminate_handler previousTerminate = nullptr;
bool terminateInstalled = false;
bool cursesActive = false;

// An exception that nothing catches must not leave the terminal raw and invisible.
[[noreturn]] void restoreThenTerminate() {
    if (cursesActive) {
        ::endwin();
        cursesActive = false;
    }
    if (previousTerminate != nullptr)
        previousTerminate();
    std::abort();
}

} // namespace

bool quitRequested() {
    return signalled != 0 || inputClosed;
}

int quitSignal() {
    return static_cast<int>(signalled);
}

namespace restore {

void beforeCurses() {
    installQuitHandlers();
    // The modes the terminal had before curses changed them, for a signal that ends us at any moment.
    terminalFd = ::isatty(STDOUT_FILENO) ? STDOUT_FILENO : STDIN_FILENO;
    haveTerminalModes = ::tcgetattr(terminalFd, &terminalModes) == 0;
}

void cursesStarted() {
    cursesActive = true;
    previousTerminate = std::set_terminate(restoreThenTerminate);
    terminateInstalled = true;
    prepareReset();
    installFatalHandlers();
}

void cursesEnded() {
    cursesActive = false;
    if (terminateInstalled)
        std::set_terminate(previousTerminate);
    terminateInstalled = false;
    restoreQuitHandlers();
    restoreFatalHandlers();
}

void inputGone() {
    inputClosed = true;
}

} // namespace restore
} // namespace terminal
