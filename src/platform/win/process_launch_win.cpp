#include "platform/process_launch.h"
#include "platform/win/process_start_win.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/child_wait.h"
#include "platform/win/code_page_win.h"
#include "platform/win/proc_address_win.h"
#include "platform/win/sized_string_win.h"
#include "platform/win/unique_handle_win.h"

namespace qor {
namespace {

struct Child {
    KernelHandle process;
    KernelHandle thread;
};

[[nodiscard]] ResultCode SystemDirectory(std::wstring& out) noexcept {
    return QuerySizedString([](wchar_t* b, DWORD n) { return GetSystemDirectoryW(b, n); }, out);
}

[[nodiscard]] ResultCode WindowsDirectory(std::wstring& out) noexcept {
    return QuerySizedString([](wchar_t* b, DWORD n) { return GetSystemWindowsDirectoryW(b, n); },
                            out);
}

// "C:\..." or "\\server\...": a path no current folder or search path completes.
bool IsFullProgramPath(const std::wstring& program) noexcept {
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (program.size() >= 3 && program[1] == L':' && separator(program[2])) return true;
    return program.size() >= 3 && separator(program[0]) && separator(program[1]);
}

std::wstring_view FirstToken(std::wstring_view commandLine) noexcept {
    if (!commandLine.empty() && commandLine.front() == L'"') {
        const auto end = commandLine.find(L'"', 1);
        return commandLine.substr(1, end == std::wstring_view::npos ? end : end - 1);
    }
    return commandLine.substr(0, commandLine.find_first_of(L" \t"));
}

// Starts the command hidden in the system directory; `output` set means a capture. A
// `knownProgram` is started as it is, a bare name is looked for in the system folders.
[[nodiscard]] ResultCode StartChild(const std::wstring& commandLine, HANDLE output, Child& child,
                                    const std::wstring* knownProgram = nullptr) noexcept {
    std::wstring program, directory;
    if (knownProgram) {
        try {
            program = *knownProgram;
        } catch (const std::bad_alloc&) {
            return rc::OutOfMemory;
        }
    } else if (const ResultCode code = ResolveProgram(commandLine, program); Failed(code)) {
        return code;
    }
    if (const ResultCode code = SystemDirectory(directory); Failed(code)) return code;
    std::wstring writable;
    try {
        writable = commandLine;  // CreateProcessW may write into it
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    DWORD flags = CREATE_DEFAULT_ERROR_MODE;
    if (output) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
        flags = CREATE_NO_WINDOW;
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), writable.data(), nullptr,
                        nullptr, output ? TRUE : FALSE, flags, nullptr, directory.c_str(),
                        &startup, &info)) {
        return ResultFromWin32(GetLastError());
    }
    child.process.Reset(info.hProcess);
    child.thread.Reset(info.hThread);
    return rc::Ok;
}

class ProcessWait final : public ChildWaitOps {
public:
    explicit ProcessWait(HANDLE process) noexcept : process_(process) {}
    ResultCode QueryExitCode(std::uint32_t& exitCode) noexcept override {
        DWORD code = 0;
        if (!GetExitCodeProcess(process_, &code)) return ResultFromWin32(GetLastError());
        exitCode = code;
        return rc::Ok;
    }
    void Sleep(std::uint32_t milliseconds) noexcept override { ::Sleep(milliseconds); }

private:
    HANDLE process_;
};

// The children left running, kept until the process ends; steps on other threads add to it.
// Starts are counted under the same lock, which the final wait closes: a step given up may
// go on launching, and what it starts then is refused rather than left unwaited-for.
class KeptChildren final : public ChildSetOps {
public:
    static KeptChildren& Instance() {
        static KeptChildren children;
        return children;
    }
    // False once closed: the child must not start.
    [[nodiscard]] bool BeginStart() noexcept {
        const std::lock_guard lock(mutex_);
        if (closed_) return false;
        ++starting_;
        return true;
    }
    // A start's end; `process`, when set, is kept.
    void EndStart(KernelHandle& process) noexcept {
        const std::lock_guard lock(mutex_);
        if (process) {
            try {
                handles_.push_back(std::move(process));
            } catch (const std::bad_alloc&) {
                // not waited for then; the child runs on as before
            }
        }
        --starting_;
        started_.notify_all();
    }
    // Closes the starting; waits for the starts under way until `until`, then takes a
    // snapshot of the handles, which stay open while the list lives.
    void Close(std::chrono::steady_clock::time_point until) noexcept {
        std::unique_lock lock(mutex_);
        closed_ = true;
        (void)started_.wait_until(lock, until, [this] { return starting_ == 0; });
        waiting_.clear();
        try {
            for (const KernelHandle& each : handles_) waiting_.push_back(each.Get());
        } catch (const std::bad_alloc&) {
        }
    }
    void Open() noexcept {
        const std::lock_guard lock(mutex_);
        closed_ = false;
    }
    std::size_t Count() noexcept override { return waiting_.size(); }
    bool WaitOne(std::size_t index, std::uint32_t milliseconds) noexcept override {
        return WaitForSingleObject(waiting_[index], milliseconds) != WAIT_TIMEOUT;
    }
    std::uint32_t NowMs() noexcept override { return GetTickCount(); }

private:
    std::mutex mutex_;
    std::condition_variable started_;
    std::vector<KernelHandle> handles_;
    std::vector<HANDLE> waiting_;
    int starting_ = 0;
    bool closed_ = false;
};

// One start of a child, counted while it lasts; refused once the final wait has closed.
class CountedStart {
public:
    CountedStart() noexcept : admitted_(KeptChildren::Instance().BeginStart()) {}
    CountedStart(const CountedStart&) = delete;
    CountedStart& operator=(const CountedStart&) = delete;
    ~CountedStart() {
        if (admitted_) KeptChildren::Instance().EndStart(kept_);
    }
    bool Admitted() const noexcept { return admitted_; }
    // The child's handle, kept with the start's end.
    void Keep(KernelHandle& process) noexcept { kept_ = std::move(process); }

private:
    bool admitted_;
    KernelHandle kept_;
};

constexpr DWORD kStartRefused = ERROR_CANCELLED;

// A child still running is kept, to be waited for before packing.
void KeepIfRunning(CountedStart& start, KernelHandle& process) noexcept {
    if (process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
        start.Keep(process);
    }
}

// Reads a child's output pipe; what is read goes where Write says.
class PipeReader : public PipeDrainOps {
public:
    explicit PipeReader(HANDLE pipe) noexcept : pipe_(pipe) {}
    ResultCode Available(std::uint32_t& bytes) noexcept override {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) {
            return ResultFromWin32(GetLastError());
        }
        bytes = available;
        return rc::Ok;
    }
    ResultCode Read(std::uint8_t* buffer, std::uint32_t size,
                    std::uint32_t& read) noexcept override {
        DWORD done = 0;
        if (!ReadFile(pipe_, buffer, size, &done, nullptr)) return ResultFromWin32(GetLastError());
        read = done;
        return rc::Ok;
    }
    std::uint32_t NowMs() noexcept override { return GetTickCount(); }
    void Sleep(std::uint32_t milliseconds) noexcept override { ::Sleep(milliseconds); }

private:
    HANDLE pipe_;
};

class PipeToFile final : public PipeReader {
public:
    PipeToFile(HANDLE pipe, HANDLE file) noexcept : PipeReader(pipe), file_(file) {}
    ResultCode Write(const std::uint8_t* buffer, std::uint32_t size) noexcept override {
        DWORD done = 0;
        if (!WriteFile(file_, buffer, size, &done, nullptr)) return ResultFromWin32(GetLastError());
        return done == size ? rc::Ok : ResultFromWin32(ERROR_WRITE_FAULT);
    }

private:
    HANDLE file_;
};

// A child's console text held in memory, up to kMaxHeldOutput bytes.
class PipeToText final : public PipeReader {
public:
    PipeToText(HANDLE pipe, std::string& text) noexcept : PipeReader(pipe), text_(text) {}
    ResultCode Write(const std::uint8_t* buffer, std::uint32_t size) noexcept override {
        if (size > kMaxHeldOutput - text_.size()) return rc::OutOfMemory;
        try {
            text_.append(reinterpret_cast<const char*>(buffer), size);
        } catch (const std::bad_alloc&) {
            return rc::OutOfMemory;
        }
        return rc::Ok;
    }

private:
    static constexpr std::size_t kMaxHeldOutput = 64 * 1024;
    std::string& text_;
};

// CR LF as the tool's own console text has it: LF, which the console writer turns back.
void WithConsoleLineEnds(std::wstring& text) noexcept {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
        text[kept++] = text[i];
    }
    text.resize(kept);
}

// Console text as a child writes it to a pipe: in the console's output code page.
[[nodiscard]] ResultCode FromConsoleCodePage(const std::string& bytes,
                                             std::wstring& out) noexcept {
    const UINT console = GetConsoleOutputCP();  // 0 without a console
    try {
        return FromCodePage(console ? console : CP_OEMCP, bytes, out);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

// Starts the capture's child with the pipe's write end as its output; `read` receives the
// other end. Captures may start on several threads at once: the lock keeps one child from
// inheriting another's write end, which would hold that capture open until it ended too.
// The lock is waited for until `until` at most.
[[nodiscard]] ResultCode StartCaptureChild(const std::wstring& commandLine, KernelHandle& read,
                                           Child& child, CaptureClock::time_point until) noexcept {
    static std::timed_mutex inheritance;
    const std::unique_lock lock(inheritance, until);
    if (!lock.owns_lock()) return ResultFromWin32(ERROR_TIMEOUT);
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    KernelHandle inheritedRead, write;
    if (!CreatePipe(inheritedRead.Put(), write.Put(), &inheritable, 0)) {
        return ResultFromWin32(GetLastError());
    }
    if (!DuplicateHandle(GetCurrentProcess(), inheritedRead.Get(), GetCurrentProcess(),
                         read.Put(), 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return ResultFromWin32(GetLastError());
    }
    inheritedRead.Reset();  // the child inherits the write end only
    return StartChild(commandLine, write.Get(), child);
}  // our write end closes here: the end of data comes when the child's copies are closed

}  // namespace

ResultCode ResolveProgram(std::wstring_view commandLine, std::wstring& program) noexcept {
    const std::wstring_view token = FirstToken(commandLine);
    if (token.find_first_of(L"\\/:") != std::wstring_view::npos) return rc::Ok;
    std::wstring system, windows;
    if (const ResultCode code = SystemDirectory(system); Failed(code)) return code;
    if (const ResultCode code = WindowsDirectory(windows); Failed(code)) return code;
    std::wstring searchPath, name;
    try {
        searchPath = system + L";" + windows;
        name.assign(token);
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
    return QuerySizedString(
        [&](wchar_t* b, DWORD n) {
            return SearchPathW(searchPath.c_str(), name.c_str(), L".exe", n, b, nullptr);
        },
        program);
}

ResultCode LaunchDetached(const std::wstring& commandLine) noexcept {
    CountedStart start;
    if (!start.Admitted()) return ResultFromWin32(kStartRefused);
    Child child;
    const ResultCode code = StartChild(commandLine, nullptr, child);
    if (child.process) start.Keep(child.process);
    return code;
}

ResultCode LaunchProgram(const std::wstring& program, const std::wstring& commandLine,
                         KernelHandle& process) noexcept {
    if (program.empty()) return rc::EmptyPath;
    if (!IsFullProgramPath(program)) return ResultFromWin32(ERROR_BAD_PATHNAME);
    Child child;
    if (const ResultCode code = StartChild(commandLine, nullptr, child, &program); Failed(code)) {
        return code;
    }
    process = std::move(child.process);
    return rc::Ok;
}

ResultCode LaunchAndWait(const std::wstring& commandLine, std::uint32_t budgetMs) noexcept {
    CountedStart start;
    if (!start.Admitted()) return ResultFromWin32(kStartRefused);
    Child child;
    // A child that did not start leaves a null handle, whose query then fails.
    (void)StartChild(commandLine, nullptr, child);
    ProcessWait wait(child.process.Get());
    const ResultCode code = PollChildExit(wait, std::min(budgetMs, kChildWaitBudgetMs));
    KeepIfRunning(start, child.process);
    return code;
}

ResultCode LaunchAndWaitHeld(const std::wstring& commandLine, std::wstring& consoleText,
                             std::uint32_t budgetMs) noexcept {
    CountedStart start;
    if (!start.Admitted()) return ResultFromWin32(kStartRefused);
    const std::uint32_t budget = std::min(budgetMs, kChildWaitBudgetMs);
    const CaptureClock::time_point until = CaptureClock::now() + std::chrono::milliseconds(budget);
    Child child;
    KernelHandle read;
    std::string bytes;
    // A child that did not start leaves a null handle, whose query then fails.
    if (Succeeded(StartCaptureChild(commandLine, read, child, until))) {
        PipeToText copy(read.Get(), bytes);
        (void)DrainPipe(copy, MillisecondsUntil(until));
    }
    std::uint32_t exitCode = 0;
    const ResultCode code = ProcessWait(child.process.Get()).QueryExitCode(exitCode);
    KeepIfRunning(start, child.process);
    consoleText.clear();
    if (Succeeded(FromConsoleCodePage(bytes, consoleText))) WithConsoleLineEnds(consoleText);
    return code;
}

ResultCode WaitForLaunchedChildren(std::uint32_t budgetMs) noexcept {
    KeptChildren& children = KeptChildren::Instance();
    const std::uint32_t start = children.NowMs();
    children.Close(CaptureClock::now() + std::chrono::milliseconds(budgetMs));
    const std::uint32_t used = children.NowMs() - start;
    const ResultCode waited = WaitForChildren(children, used < budgetMs ? budgetMs - used : 0);
    return waited;
}

void AcceptLaunchedChildren() noexcept { KeptChildren::Instance().Open(); }

// The child is not kept: its output ends with the file, at the deadline at the latest.
ResultCode CaptureCommandOutput(const std::wstring& commandLine, const std::wstring& outputPath,
                                CaptureClock::time_point deadline) noexcept {
    CountedStart start;
    if (!start.Admitted()) return ResultFromWin32(kStartRefused);
    KernelHandle read;
    {
        Child child;
        if (const ResultCode code = StartCaptureChild(commandLine, read, child, deadline);
            Failed(code)) {
            return code;
        }
    }
    FileHandle file(CreateFileW(outputPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ResultFromWin32(ERROR_INVALID_HANDLE);
    PipeToFile copy(read.Get(), file.Get());
    // The time left once the child has started.
    return DrainPipe(copy, MillisecondsUntil(deadline));
}

ResultCode CaptureCommandOutput(const std::wstring& commandLine, const std::wstring& outputPath,
                                std::uint32_t deadlineMs) noexcept {
    return CaptureCommandOutput(commandLine, outputPath,
                                CaptureClock::now() + std::chrono::milliseconds(deadlineMs));
}

void HardenSearchPaths() noexcept {
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    using SetSearchPathModeFn = BOOL(WINAPI*)(DWORD);
    if (const auto setDllDirectory =
            LookupExport<SetDllDirectoryFn>(L"kernel32.dll", "SetDllDirectoryW")) {
        setDllDirectory(L"");
    }
    if (const auto setSearchPathMode =
            LookupExport<SetSearchPathModeFn>(L"kernel32.dll", "SetSearchPathMode")) {
        constexpr DWORD kSafeSearchPermanent = 0x1 | 0x8000;
        setSearchPathMode(kSafeSearchPermanent);
    }
    // Honoured by the command interpreter the children may start.
    SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1");
}

}  // namespace qor
