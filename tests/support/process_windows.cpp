// Runs of the built program on Windows: CreateProcess with standard input and
// output redirected to files, killed when it outlives its time limit.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "support/support.h"
#include "test_paths.h"

namespace velmorak::testing {
namespace {

// Arguments are UTF-8, as the program reads its wide command line.
std::wstring wide(const std::string& s) {
    if (s.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// One argument of a command line as the C run-time splits it again.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        q.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        q.push_back(c);
    }
    q.append(2 * backslashes, L'\\');  // before the closing quote
    q.push_back(L'"');
    return q;
}

HANDLE inheritable(const std::string& name, bool write) {
    SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(wide(name).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, write ? CREATE_ALWAYS : OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramRun run_program(const std::vector<std::string>& args, const std::string& input,
                       const std::filesystem::path& cwd, int limit_seconds, bool apart) {
    TempDir io;
    const std::string in_file = io.write("stdin.txt", input);
    const std::string out_file = io.file("stdout.txt");
    const std::string err_file = io.file("stderr.txt");
    ProgramRun r;
    {
        const HANDLE in = inheritable(in_file, false);
        const HANDLE out = inheritable(out_file, true);
        const HANDLE err = apart ? inheritable(err_file, true) : out;
        std::wstring command = quoted(std::filesystem::path(VELMORAK_EXE).make_preferred().wstring());
        for (const auto& a : args) command += L" " + quoted(wide(a));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in;
        si.hStdOutput = out;
        si.hStdError = err;
        PROCESS_INFORMATION pi{};
        const std::wstring folder = cwd.empty() ? std::wstring() : cwd.wstring();
        const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                              folder.empty() ? nullptr : folder.c_str(), &si, &pi) != 0;
        ::CloseHandle(in);
        ::CloseHandle(out);
        if (apart) ::CloseHandle(err);
        if (started) {
            if (::WaitForSingleObject(pi.hProcess, static_cast<DWORD>(limit_seconds) * 1000) == WAIT_TIMEOUT) {
                ::TerminateProcess(pi.hProcess, 124);
                ::WaitForSingleObject(pi.hProcess, INFINITE);
                r.timed_out = true;
            }
            DWORD code = 0;
            if (::GetExitCodeProcess(pi.hProcess, &code)) r.status = static_cast<int>(code);
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
    }
    r.out = read_file(out_file);
    if (apart) r.err = read_file(err_file);
    return r;
}

bool posix_system() { return false; }

bool permissions_bind() { return false; }

bool make_named_pipe(const std::filesystem::path&) { return false; }

}  // namespace velmorak::testing
