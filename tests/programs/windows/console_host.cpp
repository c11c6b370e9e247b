// SPDX-License-Identifier: MIT
// Runs a program in a console of its own, as cmd or PowerShell would, optionally stops
// it as Ctrl-Break does, or closes its console, once a file appears, and reports what
// the console then shows, its code page before and after, and the program's exit
// status, on its own standard output (UTF-8):
//
//   event: CTRL_BREAK_EVENT | CTRL_C_EVENT | CTRL_CLOSE_EVENT | none
//   exit: <status>
//   code page: <before> <after>
//   <the console's lines, blanks at their ends cut>
//
// Usage: console_host [--pipes] [--hold FILE] [--stop-when FILE | --close-when FILE [--after MILLISECONDS]]
//                     -- PROGRAM [ARGUMENT...]
// --pipes: the program writes to this host's own output and error, not to the console.
// --hold: FILE is made and held open, shared with no one, while the program runs, as
// another program may hold a file; it is removed afterwards. The program is started in a process group of its own,
// which Ctrl-Break (sent with GenerateConsoleCtrlEvent) reaches alone. Where the system refuses Ctrl-Break (Wine
// delivers only Ctrl-C), it is started in this one's group and sent Ctrl-C instead,
// which this host ignores. A console is closed as Windows closes one: the program's
// handlers run on a thread of its own (kernel32's CtrlRoutine, given CTRL_CLOSE_EVENT),
// and the program is ended once they have returned, or after five seconds.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

std::string utf8Of(std::wstring_view wide)
{
    const int length
        = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(
        CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

// An argument quoted so that the C runtime's split gives it back as it is.
std::wstring quoted(const std::wstring& argument)
{
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, L'\\');
    return text + L"\"";
}

// Every line of the console's screen buffer, blanks at their ends cut, and the empty
// lines at the end left out.
std::vector<std::string> screen()
{
    const HANDLE output = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    std::vector<std::string> lines;
    if (output == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(output, &info))
        return {"(the console's screen cannot be read)"};
    std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
    for (SHORT y = 0; y < info.dwSize.Y; ++y) {
        DWORD read = 0;
        ::ReadConsoleOutputCharacterW(output, row.data(), static_cast<DWORD>(row.size()), COORD{0, y}, &read);
        const auto end = row.find_last_not_of(L' ', read == 0 ? 0 : read - 1);
        lines.push_back(end == std::wstring::npos || read == 0 ? std::string() : utf8Of(row.substr(0, end + 1)));
    }
    ::CloseHandle(output);
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

BOOL WINAPI ignoreEvent(DWORD)
{
    return TRUE;
}

void closeConsoleOf(HANDLE process)
{
    constexpr DWORD kControlCExit = 0xC000013A; // STATUS_CONTROL_C_EXIT, as Windows ends it
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "CtrlRoutine")));
    const HANDLE handlers = routine == nullptr
        ? nullptr
        : ::CreateRemoteThread(process, nullptr, 0, routine,
            reinterpret_cast<void*>(static_cast<DWORD_PTR>(CTRL_CLOSE_EVENT)), 0, nullptr);
    if (handlers != nullptr) {
        ::WaitForSingleObject(handlers, 5000);
        ::CloseHandle(handlers);
    }
    ::TerminateProcess(process, kControlCExit);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring stopWhen;
    std::wstring hold;
    bool pipes = false;
    bool close = false;
    int afterMs = 0;
    int first = 1;
    for (; first < argc && std::wstring(argv[first]) != L"--"; ++first) {
        if ((std::wstring(argv[first]) == L"--stop-when" || std::wstring(argv[first]) == L"--close-when")
            && first + 1 < argc) {
            close = std::wstring(argv[first]) == L"--close-when";
            stopWhen = argv[++first];
        } else if (std::wstring(argv[first]) == L"--pipes")
            pipes = true;
        else if (std::wstring(argv[first]) == L"--hold" && first + 1 < argc)
            hold = argv[++first];
        else if (std::wstring(argv[first]) == L"--after" && first + 1 < argc)
            afterMs = std::stoi(argv[++first]);
    }
    if (first + 1 >= argc) {
        std::fputs(
            "usage: console_host [--pipes] [--hold FILE] [--stop-when FILE | --close-when FILE [--after MILLISECONDS]]"
            " -- PROGRAM...\n",
            stderr);
        return 2;
    }
    std::wstring commandLine;
    for (int i = first + 1; i < argc; ++i)
        commandLine += (commandLine.empty() ? L"" : L" ") + quoted(argv[i]);

    // The report goes where this host's output went before it took a console of its own.
    const HANDLE report = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE errors = ::GetStdHandle(STD_ERROR_HANDLE);
    // A console this host already has (Wine gives one to a program started from a
    // terminal), else one of its own.
    const HANDLE own = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (own == INVALID_HANDLE_VALUE || !::GetConsoleMode(own, &mode)) {
        ::FreeConsole();
        if (!::AllocConsole()) {
            std::fputs("console_host: no console could be made\n", stderr);
            return 3;
        }
    }
    const UINT codePageBefore = ::GetConsoleOutputCP();
    ::SetConsoleCtrlHandler(ignoreEvent, TRUE);
    const bool breakWorks = ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0) != 0;

    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const auto console = [&](const wchar_t* name) {
        return ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
            OPEN_EXISTING, 0, nullptr);
    };
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = console(L"CONIN$");
    startup.hStdOutput = console(L"CONOUT$");
    startup.hStdError = startup.hStdOutput;
    const auto inheritable = [](HANDLE handle) {
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
        return copy;
    };
    if (pipes) {
        startup.hStdOutput = inheritable(report);
        startup.hStdError = inheritable(errors);
    }
    const HANDLE held = hold.empty()
        ? INVALID_HANDLE_VALUE
        : ::CreateFileW(hold.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (!hold.empty() && held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "console_host: %ls cannot be made (error %lu)\n", hold.c_str(), ::GetLastError());
        return 3;
    }
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(argv[first + 1], commandLine.data(), nullptr, nullptr, TRUE,
            breakWorks ? CREATE_NEW_PROCESS_GROUP : 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "console_host: the program did not start (error %lu)\n", ::GetLastError());
        return 3;
    }

    const char* event = "none";
    if (!stopWhen.empty()) {
        while (::GetFileAttributesW(stopWhen.c_str()) == INVALID_FILE_ATTRIBUTES
            && ::WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT) { }
        if (::WaitForSingleObject(process.hProcess, static_cast<DWORD>(afterMs)) != WAIT_TIMEOUT) {
        } else if (close) {
            event = "CTRL_CLOSE_EVENT";
            closeConsoleOf(process.hProcess);
        } else {
            event = breakWorks ? "CTRL_BREAK_EVENT" : "CTRL_C_EVENT";
            breakWorks ? ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, process.dwProcessId)
                       : ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        }
    }
    if (::WaitForSingleObject(process.hProcess, 300'000) == WAIT_TIMEOUT)
        ::TerminateProcess(process.hProcess, 124);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    if (held != INVALID_HANDLE_VALUE)
        ::CloseHandle(held);
    if (pipes) {
        ::CloseHandle(startup.hStdOutput);
        ::CloseHandle(startup.hStdError);
    }

    std::string text = std::string("event: ") + event + "\nexit: " + std::to_string(status)
        + "\ncode page: " + std::to_string(codePageBefore) + " " + std::to_string(::GetConsoleOutputCP()) + "\n";
    for (const std::string& line : screen())
        text += line + "\n";
    DWORD written = 0;
    ::WriteFile(report, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return 0;
}
