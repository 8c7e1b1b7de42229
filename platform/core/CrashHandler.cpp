#include "platform/core/CrashHandler.h"

#include <QFile>

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <time.h>
#include <typeinfo>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::array fatalSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP};
constexpr int maximumFrames = 128;

// Everything the handler touches is prepared at install time and lives in static storage.
char g_folder[1024];
char g_header[2048];
std::size_t g_headerLength = 0;
std::atomic<const char *> g_exceptionType{nullptr};
volatile std::sig_atomic_t g_handling = 0;
struct sigaction g_previous[fatalSignals.size()];
bool g_installed = false;
std::terminate_handler g_previousTerminate = nullptr;
// A stack of its own, so that a stack overflow can still be reported.
alignas(16) char g_alternateStack[64 * 1024];

const char *signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    case SIGTRAP:
        return "SIGTRAP";
    default:
        return "SIGNAL";
    }
}

// Small writers that use no library formatting (not safe in a signal handler).
class ReportBuffer
{
public:
    void append(const char *text) { append(text, std::strlen(text)); }
    void append(const char *text, std::size_t length)
    {
        const std::size_t room = sizeof(m_text) - m_length;
        const std::size_t n = length < room ? length : room;
        std::memcpy(m_text + m_length, text, n);
        m_length += n;
    }
    void appendNumber(unsigned long long value, int width = 0)
    {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = char('0' + value % 10);
            value /= 10;
        } while (value != 0 && count < int(sizeof(digits)));
        for (int i = count; i < width; ++i)
            append("0", 1);
        while (count > 0)
            append(&digits[--count], 1);
    }
    const char *data() const { return m_text; }
    std::size_t length() const { return m_length; }
    // The text as a C string (cut at the end of the buffer).
    const char *terminated()
    {
        m_text[m_length < sizeof(m_text) ? m_length : sizeof(m_text) - 1] = '\0';
        return m_text;
    }

private:
    char m_text[2048];
    std::size_t m_length = 0;
};

void writeAll(int fd, const char *data, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written <= 0)
            return;
        data += written;
        length -= std::size_t(written);
    }
}

void writeReport(int signal)
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);

    ReportBuffer name;
    name.append(g_folder);
    name.append("/");
    name.appendNumber((unsigned long long)now.tv_sec, 20);
    name.append("-");
    name.appendNumber((unsigned long long)::getpid());
    name.append(".crash");
    ReportBuffer temporaryName;
    temporaryName.append(name.data(), name.length());
    temporaryName.append(".tmp");

    const int fd = ::open(temporaryName.terminated(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    ReportBuffer text;
    text.append(g_header, g_headerLength);
    text.append("signal: ");
    text.appendNumber((unsigned long long)signal);
    text.append(" ");
    text.append(signalName(signal));
    text.append("\n");
    if (const char *type = g_exceptionType.load()) {
        text.append("exception: ");
        text.append(type);
        text.append("\n");
    }
    text.append("time: ");
    text.appendNumber((unsigned long long)now.tv_sec);
    text.append("\nstack:\n");
    writeAll(fd, text.data(), text.length());

    void *frames[maximumFrames];
    const int count = ::backtrace(frames, maximumFrames);
    ::backtrace_symbols_fd(frames, count, fd);
    ::close(fd);
    ::rename(temporaryName.terminated(), name.terminated());
}

void restoreSignal(int signal)
{
    struct sigaction standard
    {
    };
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
}

void crashSignalHandler(int signal, siginfo_t *, void *)
{
    // A crash inside the handler ends the process with the default action.
    if (g_handling == 0) {
        g_handling = 1;
        writeReport(signal);
    }
    restoreSignal(signal);
    ::raise(signal);
}

[[noreturn]] void crashTerminateHandler()
{
    // Only the exception's type is kept: its message may quote anything the program handled.
    if (const std::type_info *type = abi::__cxa_current_exception_type())
        g_exceptionType.store(type->name());
    std::abort();
}

} // namespace

bool installCrashHandler(const QString &folder, const QByteArray &headerLines)
{
    const QByteArray encodedFolder = QFile::encodeName(folder);
    if (encodedFolder.size() + 64 >= qsizetype(sizeof(g_folder)))
        return false;
    std::memcpy(g_folder, encodedFolder.constData(), std::size_t(encodedFolder.size()));
    g_folder[encodedFolder.size()] = '\0';
    g_headerLength = std::min(std::size_t(headerLines.size()), sizeof(g_header));
    std::memcpy(g_header, headerLines.constData(), g_headerLength);

    // The first backtrace loads the unwinder, which allocates: do it now, not in the handler.
    void *frames[4];
    (void)::backtrace(frames, 4);

    if (g_installed)
        return true;
    stack_t alternate{};
    alternate.ss_sp = g_alternateStack;
    alternate.ss_size = sizeof(g_alternateStack);
    ::sigaltstack(&alternate, nullptr);
    for (std::size_t i = 0; i < fatalSignals.size(); ++i) {
        struct sigaction action
        {
        };
        action.sa_sigaction = crashSignalHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(fatalSignals[i], &action, &g_previous[i]);
    }
    g_previousTerminate = std::set_terminate(crashTerminateHandler);
    g_installed = true;
    return true;
}

void uninstallCrashHandler()
{
    if (!g_installed)
        return;
    for (std::size_t i = 0; i < fatalSignals.size(); ++i)
        ::sigaction(fatalSignals[i], &g_previous[i], nullptr);
    std::set_terminate(g_previousTerminate);
    g_installed = false;
}

} // namespace platform
