#include "deferred_delete.h"

#include <cpl_vsi.h>

#include <cstdlib>
#include <mutex>
#include <set>

#include "text_output.h"

namespace velmorak::gdal12 {
namespace {

std::mutex& lock() {
    static std::mutex m;
    return m;
}

std::set<std::string>& noted() {
    static std::set<std::string> paths;
    return paths;
}

void at_exit() { carry_out_deletions(); }

}  // namespace

bool delete_later(const std::string& path) {
    if (!TextOutput::is_system_path(path)) return VSIUnlink(path.c_str()) == 0;
    VSIStatBufL st{};
    if (VSIStatL(path.c_str(), &st) != 0) return false;
    std::lock_guard<std::mutex> hold(lock());
    static const bool registered = std::atexit(at_exit) == 0;
    (void)registered;
    noted().insert(path);
    return true;
}

bool take_back_deletion(const std::string& path) {
    std::lock_guard<std::mutex> hold(lock());
    return noted().erase(path) > 0;
}

void carry_out_deletions() {
    std::set<std::string> paths;
    {
        std::lock_guard<std::mutex> hold(lock());
        paths.swap(noted());
    }
    for (const std::string& p : paths) VSIUnlink(p.c_str());
}

}  // namespace velmorak::gdal12
