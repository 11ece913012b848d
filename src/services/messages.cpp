#include "services/messages.h"

#include "services/runtime.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"

namespace velmorak::services {
namespace {

constexpr std::size_t kLineWidth = 1000;

struct Kind {
    std::string_view word;
    int kind;
};
constexpr Kind kKinds[] = {{"ERROR", 1}, {"WARNING", 2}, {"CHECK", 3}, {"UNSTABLE", 4}};

void classify(MessageState& m, bool located) {
    m.kind = 0;
    m.number = 0;
    const std::string_view first = m.line[0];
    for (const Kind& k : kKinds) {
        if (first.substr(0, k.word.size()) != k.word) continue;
        m.kind = k.kind;
        if (k.kind <= 3) {
            ++m.counts[static_cast<std::size_t>(k.kind - 1)];
            if (located) ++m.located_counts[static_cast<std::size_t>(k.kind - 1)];
        }
        // The message number stands in the six characters after the kind word.
        std::int32_t number = 0;
        util::FreeFormat ff(util::columns(first, k.word.size() + 1, k.word.size() + 6));
        m.number = util::read_ok(ff.read(number)) ? number : 0;
        break;
    }
}

// Line 4 is reference text 1, then "; " and each further reference text that
// is not blank, whether or not anything stands before it: a caller reading
// line 4 tells by the separators which of the three references were given.
void rebuild_line4(MessageState& m) {
    m.line[3].clear();
    if (!util::all_blank(m.references[0])) m.line[3] = util::rtrim(m.references[0]);
    for (std::size_t i = 1; i < m.references.size(); ++i) {
        const std::string& ref = m.references[i];
        if (util::all_blank(ref)) continue;
        m.line[3] = std::string(util::rtrim(m.line[3])) + "; " + std::string(util::rtrim(ref));
    }
}

template <typename Sink>
void write_lines(const MessageState& m, bool empty_first, Sink&& sink) {
    if (empty_first) sink(std::string_view{});
    std::string first;
    if (!util::all_blank(m.tag)) {
        first.append(util::rtrim(m.tag));
        first.push_back(' ');
    }
    first.append(util::rtrim(util::cut(m.line[0], kLineWidth)));
    sink(first);
    for (std::size_t i = 1; i < 4; ++i)
        if (!util::all_blank(m.line[i])) sink(util::rtrim(util::cut(m.line[i], kLineWidth)));
}

void emit(MessageState& m, int mode) {
    rebuild_line4(m);
    Runtime& rt = runtime();
    if (mode >= 0) {
        Console& con = rt.console;
        write_lines(m, mode >= 1, [&](std::string_view s) {
            // Each line is a record of its own; the first one ends an open line.
            if (s.empty()) {
                con.end_line();
            } else {
                con.line(s);
            }
        });
    }
    if (mode >= -1 && m.log_unit > 0) {
        if (io::OutputFile* log = rt.units.output_or_null(m.log_unit)) {
            write_lines(m, mode >= 1, [&](std::string_view s) { log->line(s); });
        }
    }
    DMESSAGECLEAR();
}

}  // namespace

MessageState& DMESSAGES() { return runtime().messages; }

void DMESSAGE(int mode) {
    MessageState& m = DMESSAGES();
    classify(m, false);
    emit(m, mode);
}

void DMESSAGEXY(int mode, double x, double y) {
    MessageState& m = DMESSAGES();
    m.tag = "XY: ";
    m.x = x;
    m.y = y;
    classify(m, true);
    emit(m, mode);
}

void DMESSAGECLEAR() {
    MessageState& m = DMESSAGES();
    for (auto& l : m.line) l.clear();
    m.tag.clear();
    for (auto& r : m.references) r.clear();
    m.x = -99999.0;
    m.y = -99999.0;
    m.located = false;
}

void DMESSAGERESETCOUNTERS() {
    MessageState& m = DMESSAGES();
    m.counts = {};
    m.located_counts = {};
}

void DLINE(int unit) {
    const std::string bar(80, '_');
    Runtime& rt = runtime();
    rt.console.line(bar);
    if (unit > 0) {
        if (io::OutputFile* f = rt.units.output_or_null(unit)) f->line(bar);
    }
}

void show_message(int mode, std::string_view line1, std::string_view line2, std::string_view line3) {
    MessageState& m = DMESSAGES();
    m.line[0] = util::cut(line1, kLineWidth);
    m.line[1] = util::cut(line2, kLineWidth);
    m.line[2] = util::cut(line3, kLineWidth);
    DMESSAGE(mode);
}

}  // namespace velmorak::services
