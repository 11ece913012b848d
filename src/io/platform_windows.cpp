// The file layer's system calls on Windows. Names reach the system through the
// wide-character calls, converted from the program's text: UTF-8, as the
// command line is read, with Windows-1252 for bytes that are not UTF-8. The
// file system itself takes "\" and "/" as folder separators, drive letters and
// \\server\share names, and finds names in any case.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <malloc.h>

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "io/platform.h"
#include "io/platform_windows_text.h"

namespace velmorak::io::platform {
namespace {

using windows::append_utf16;
using windows::utf8;
using windows::wide;

// The POSIX error number a Windows failure stands for.
int posix_error(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NOT_READY:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        default:
            return EIO;
    }
}


bool attributes(std::string_view name, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return ::GetFileAttributesExW(wide(name).c_str(), GetFileExInfoStandard, &data) != 0;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE handle(Handle file) { return reinterpret_cast<HANDLE>(file); }

// A failed call's result, with the error number kept for the caller.
template <typename T>
T failed(T result, int& err) {
    err = posix_error(::GetLastError());
    return result;
}

// Longest piece handed to one ReadFile or WriteFile, which count in 32 bits.
DWORD piece(std::size_t n) { return n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n); }

}  // namespace

namespace native {

Handle open(const char* name, OpenFor how, int& err) {
    if (how == OpenFor::unnamed) {  // Windows has no files without a name
        err = ENOSYS;
        return kNoHandle;
    }
    const std::wstring path = wide(name);
    const DWORD attrs = ::GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        err = EISDIR;
        return kNoHandle;
    }
    HANDLE h = INVALID_HANDLE_VALUE;
    if (how == OpenFor::reading) {
        h = ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    } else {
        // Others may read what is written, as on POSIX; a file another program
        // holds open without sharing it fails here (the user is asked to close it).
        const DWORD access = how == OpenFor::appending ? FILE_APPEND_DATA : GENERIC_WRITE;
        const DWORD disposition = how == OpenFor::creating    ? CREATE_NEW
                                  : how == OpenFor::appending ? OPEN_ALWAYS
                                                              : CREATE_ALWAYS;
        // A temporary may be deleted while open: an interrupt removes it so.
        const DWORD share = how == OpenFor::creating ? kShareAll : FILE_SHARE_READ | FILE_SHARE_WRITE;
        h = ::CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) return failed(kNoHandle, err);
    if (::GetFileType(h) != FILE_TYPE_DISK) {  // a device or a pipe
        ::CloseHandle(h);
        err = kNotRegularFile;
        return kNoHandle;
    }
    return reinterpret_cast<Handle>(h);
}

std::ptrdiff_t read(Handle file, void* dst, std::size_t n, int& err) {
    DWORD got = 0;
    if (!::ReadFile(handle(file), dst, piece(n), &got, nullptr)) return failed<std::ptrdiff_t>(-1, err);
    return static_cast<std::ptrdiff_t>(got);
}

std::ptrdiff_t read_at(Handle file, void* dst, std::size_t n, std::uint64_t offset, int& err) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!::ReadFile(handle(file), dst, piece(n), &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
        return failed<std::ptrdiff_t>(-1, err);
    }
    return static_cast<std::ptrdiff_t>(got);
}

std::ptrdiff_t write(Handle file, const void* src, std::size_t n, int& err) {
    DWORD put = 0;
    if (!::WriteFile(handle(file), src, piece(n), &put, nullptr)) return failed<std::ptrdiff_t>(-1, err);
    return static_cast<std::ptrdiff_t>(put);
}

bool close(Handle file, int& err) { return ::CloseHandle(handle(file)) != 0 || failed(false, err); }

bool rewind(Handle file) {
    LARGE_INTEGER zero{};
    return ::SetFilePointerEx(handle(file), zero, nullptr, FILE_BEGIN) != 0;
}

std::int64_t size(Handle file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle(file), &size) || size.QuadPart < 0) return -1;
    return static_cast<std::int64_t>(size.QuadPart);
}

bool rename(const char* from, const char* to, int& err) {
    return ::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0 || failed(false, err);
}

bool link(Handle, const char*, int& err) {
    err = ENOSYS;
    return false;
}

Handle keep_unnamed(Handle, int& err) {  // never asked: no file is unnamed here
    err = ENOSYS;
    return kNoHandle;
}

bool sync(Handle file, int& err) { return ::FlushFileBuffers(handle(file)) != 0 || failed(false, err); }

bool remove(const char* name) { return ::DeleteFileW(wide(name).c_str()) != 0; }

// Windows finds names in any case by itself: no folder is ever listed.
void* open_folder(const char*) { return nullptr; }
const char* next_in_folder(void*) { return nullptr; }
void close_folder(void*) {}

}  // namespace native

std::string native_name(std::string_view name) { return std::string(name); }

std::filesystem::path native_path(std::string_view name) { return std::filesystem::path(wide(name)); }

std::string input_name(std::string_view name) { return std::string(name); }

bool exists(std::string_view name) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return attributes(name, data);
}

std::optional<std::int64_t> modified_seconds(std::string_view name) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!attributes(name, data)) return std::nullopt;
    // 100-nanosecond steps since 1601-01-01.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    constexpr std::int64_t kFrom1601To1970 = 11644473600;
    return static_cast<std::int64_t>(ticks / 10000000) - kFrom1601To1970;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> file_identity(std::string_view name) {
    // Asks for no access at all: only the file's identity is read.
    const HANDLE h =
        ::CreateFileW(wide(name).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    if (!ok) return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>(
        info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

namespace {

// The program's 8-bit text of a wide name; false when a character of it has none.
bool narrow(const std::wstring& wide_name, std::string& out) {
    if (wide_name.empty()) return false;
    BOOL lost = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, 0, wide_name.data(), static_cast<int>(wide_name.size()), nullptr, 0,
                                        nullptr, &lost);
    if (n <= 0 || lost) return false;
    out.assign(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide_name.data(), static_cast<int>(wide_name.size()), out.data(), n, nullptr,
                          &lost);
    return !lost;
}

// The file a symbolic link leads to, by the handle opened through it; false
// when it is not a file on disk (a device) or its name cannot be had.
bool link_target(const std::string& name, std::string& target) {
    const HANDLE h =
        ::CreateFileW(wide(name).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = ::GetFileType(h) == FILE_TYPE_DISK;
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = ok ? ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED) : 0;
    if (n >= path.size()) {
        path.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    }
    ::CloseHandle(h);
    path.resize(n < path.size() ? n : 0);
    return ok && n > 0 && narrow(path, target);
}

}  // namespace

bool plan_output(std::string_view name, bool shorter, OutputPlan& plan, std::string& why) {
    plan = {};
    plan.target = std::string(name);
    const DWORD attrs = ::GetFileAttributesW(wide(name).c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES) {
        plan.identity = file_identity(name);
        // A folder fails to open; a link is replaced at the file it leads to,
        // and one that leads to a device is written through, in place.
        if ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
        if ((attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !link_target(plan.target, plan.target)) return true;
        if ((attrs & FILE_ATTRIBUTE_READONLY) != 0) {
            why = error_text(EACCES);
            return false;
        }
        // A file another program holds open without letting it be replaced
        // is reported now, while the user can still close it and try again,
        // not when the new one is to take its place.
        const HANDLE h = ::CreateFileW(wide(plan.target).c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            why = error_text(posix_error(::GetLastError()));
            return false;
        }
        ::CloseHandle(h);
    } else if (posix_error(::GetLastError()) != ENOENT) {
        return true;  // left to the open, which reports it
    }
    const std::size_t slash = plan.target.find_last_of("\\/");
    const std::size_t leaf = slash != std::string::npos ? slash + 1 : plan.target.size() >= 2 && plan.target[1] == ':' ? 2 : 0;
    // ".site.12da.mif.velmorak-1234.tmp": telling what it is and whose.
    plan.temporary.assign(plan.target, 0, leaf).push_back('.');
    if (!shorter) plan.temporary.append(plan.target, leaf).push_back('.');
    plan.temporary.append("velmorak-").append(std::to_string(::GetCurrentProcessId()));
    // A short name is told apart from the run's others by a count of its own.
    static unsigned shortened = 0;
    if (shorter) plan.temporary.append("-").append(std::to_string(++shortened));
    plan.temporary.append(".tmp");
    return true;
}

// Windows files carry no POSIX permissions: a new file is like the one it replaces.
void set_permissions(Handle, int) {}

namespace {

// Held while outputs that belong together take their names.
std::atomic<int> g_holds{0};

// Runs on a thread of its own while the program goes on: it waits for the
// outputs taking their names, then the temporaries are removed (opened for
// deletion by others, they go once their handles close, which exiting does)
// and the program ends as a POSIX one ends on SIGINT or SIGTERM.
BOOL WINAPI remove_temporaries_and_exit(DWORD event) {
    while (g_holds.load(std::memory_order_acquire) > 0) ::Sleep(1);
    remove_held_temporaries();
    ::ExitProcess(event == CTRL_C_EVENT ? 130 : 143);
    return TRUE;
}

}  // namespace

void remove_temporaries_on_interrupt() { ::SetConsoleCtrlHandler(remove_temporaries_and_exit, TRUE); }

void hold_interrupts() noexcept { g_holds.fetch_add(1, std::memory_order_acq_rel); }

void release_interrupts() noexcept { g_holds.fetch_sub(1, std::memory_order_acq_rel); }

Handle lock_file(const char* name, void (*waiting)(void* context), void* context, int& err) {
    bool told = false;
    const std::wstring path = wide(name);
    // A file being deleted is refused for a moment; a folder the user may not
    // write, for good: after a minute it is taken for that.
    for (int tries = 0;; ++tries) {
        // Deleted when the last run holding it open closes it; while that is
        // pending, it cannot be opened, and is tried again.
        const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (::GetLastError() != ERROR_ACCESS_DENIED || tries > 6000) return failed(kNoHandle, err);
            if (!told) waiting(context);
            told = true;
            ::Sleep(10);
            continue;
        }
        OVERLAPPED at{};
        if (::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return reinterpret_cast<Handle>(h);
        if (!told) waiting(context);
        told = true;
        at = OVERLAPPED{};
        if (::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) return reinterpret_cast<Handle>(h);
        err = posix_error(::GetLastError());
        ::CloseHandle(h);
        return kNoHandle;
    }
}

void unlock_file(Handle lock, const char*) noexcept {
    if (lock != kNoHandle) ::CloseHandle(handle(lock));
}

// The GNU C library's words for the few numbers the file layer reports, so
// that messages read the same on both systems.
std::string error_text(int err) {
    switch (err) {
        case ENOENT: return "No such file or directory";
        case EACCES: return "Permission denied";
        case EISDIR: return "Is a directory";
        case EINVAL: return "Invalid argument";
        case ENAMETOOLONG: return "File name too long";
        case ENOSPC: return "No space left on device";
        case EMFILE: return "Too many open files";
        case EEXIST: return "File exists";
        case kNotRegularFile: return "Not a regular file";
        default: return "Input/output error";
    }
}

void* allocate_aligned(std::size_t alignment, std::size_t bytes, bool /*large*/) {
    return ::_aligned_malloc(bytes, alignment);
}

void free_aligned(void* p) noexcept { ::_aligned_free(p); }

void binary_standard_streams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

// ------------------------------------------------ command line and console

namespace {

bool is_console(DWORD which) {
    const HANDLE h = ::GetStdHandle(which);
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}

// A console window shows the UTF-16 written with WriteConsoleW whatever its
// code page; bytes written to it would be shown in the OEM code page (a path
// holding "\xC3\x84" as two box-drawing characters). Text is collected and
// written at each flush, which the run's console makes before every read.
class ConsoleWriter final : public std::streambuf {
public:
    explicit ConsoleWriter(HANDLE h) : h_(h) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) held_.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        held_.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int sync() override {
        std::wstring text;
        held_.erase(0, append_utf16(text, held_, true));
        std::size_t done = 0;
        while (done < text.size()) {
            DWORD ask = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 14));
            if (done + ask < text.size() && text[done + ask - 1] >= 0xD800 && text[done + ask - 1] <= 0xDBFF) --ask;
            DWORD put = 0;
            if (!::WriteConsoleW(h_, text.data() + done, ask, &put, nullptr) || put == 0) return -1;
            done += put;
        }
        return 0;
    }

private:
    HANDLE h_;
    std::string held_;
};

// Lines typed in a console window, read as UTF-16 and handed on as UTF-8:
// read as bytes they would come in the console's OEM code page, and a name
// typed at a prompt would not be the file's name.
class ConsoleReader final : public std::streambuf {
public:
    explicit ConsoleReader(HANDLE h) : h_(h) {}

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        wchar_t typed[512];
        DWORD got = 0;
        if (!::ReadConsoleW(h_, typed, 512, &got, nullptr) || got == 0) return traits_type::eof();
        std::wstring text = pending_high_;
        pending_high_.clear();
        text.append(typed, got);
        // A character beyond the first plane cut in two by the buffer's end.
        if (text.back() >= 0xD800 && text.back() <= 0xDBFF) {
            pending_high_.assign(1, text.back());
            text.pop_back();
        }
        // Ctrl+Z at the start of a line ends the input, as for a program that
        // reads the console as a file.
        if (!text.empty() && text.front() == L'\x1a') return traits_type::eof();
        line_ = utf8(text);
        setg(line_.data(), line_.data(), line_.data() + line_.size());
        return line_.empty() ? underflow() : traits_type::to_int_type(*gptr());
    }

private:
    HANDLE h_;
    std::wstring pending_high_;
    std::string line_;
};

}  // namespace

std::vector<std::string> command_line(int argc, char** argv) {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (words == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) args.push_back(utf8(words[i]));
    ::LocalFree(words);
    return args;
}

bool standard_input_is_terminal() { return is_console(STD_INPUT_HANDLE); }

std::istream& console_input() {
    if (!is_console(STD_INPUT_HANDLE)) return std::cin;
    static ConsoleReader reader(::GetStdHandle(STD_INPUT_HANDLE));
    static std::istream in(&reader);
    return in;
}

std::ostream& console_output() {
    if (!is_console(STD_OUTPUT_HANDLE)) return std::cout;
    static ConsoleWriter writer(::GetStdHandle(STD_OUTPUT_HANDLE));
    static std::ostream out(&writer);
    return out;
}

std::ostream& console_error() {
    if (!is_console(STD_ERROR_HANDLE)) return std::cerr;
    static ConsoleWriter writer(::GetStdHandle(STD_ERROR_HANDLE));
    static std::ostream err(&writer);
    return err;
}

void run_command(const std::string& command) { [[maybe_unused]] const int status = ::_wsystem(wide(command).c_str()); }

}  // namespace velmorak::io::platform
