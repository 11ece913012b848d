#pragma once
// The converter's code runs inside another program (GDAL's ogrinfo, QGIS, a
// Python script through the C interface) through CoreRun. The core talks to a console and ends a run
// that meets a fatal problem by printing its message and throwing RunStop;
// in a host nothing may be printed to standard output, nothing may wait for
// Enter and nothing may end the program. So each open file keeps a runtime of
// its own whose console writes into a string and reads from an empty input,
// made current on the calling thread for the length of each call (GDAL may
// read several files on several threads). A stop is caught and its text
// handed back for the host's own error report.
#include <exception>
#include <new>
#include <sstream>
#include <string>
#include <utility>

#include "services/runtime.h"

namespace velmorak::services {

class CoreRun {
public:
    CoreRun();
    CoreRun(const CoreRun&) = delete;
    CoreRun& operator=(const CoreRun&) = delete;

    Runtime& runtime() noexcept { return rt_; }

    // Runs f() with this runtime current. False when the core stopped or
    // threw: stop_text() then says why, in one line.
    template <typename F>
    bool run(F&& f) noexcept {
        const RuntimeInUse use(rt_);
        try {
            begin();
            std::forward<F>(f)();
            return true;
        } catch (const RunStop&) {
            stopped();
        } catch (const std::bad_alloc&) {
            stopped("out of memory");
        } catch (const std::exception& e) {
            stopped(e.what());
        } catch (...) {
            stopped("unexpected failure");
        }
        return false;
    }
    const std::string& stop_text() const noexcept { return stop_text_; }

private:
    void begin();
    void stopped(const char* what = nullptr) noexcept;

    std::istringstream in_;
    std::ostringstream out_;
    Runtime rt_;
    std::string stop_text_;
};

}  // namespace velmorak::services
