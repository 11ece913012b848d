// The message log and LENSL for C callers. DMESSAGES is the C caller's copy of
// the message state: every message routine takes its fields into the run's
// state, works there, and writes the fields back, so the caller reads the
// counters, kind and number of the last message straight from the structure.
#include <climits>

#include "capi/boundary.h"
#include "services/messages.h"
#include "services/units.h"

namespace {

using velmorak::capi::flush_console;
using velmorak::capi::guarded;
using velmorak::capi::message_state_in;
using velmorak::capi::message_state_out;

template <std::size_t N>
constexpr void fill_blank(char (&text)[N]) {
    for (char& c : text) c = ' ';
}

// Blank texts, zero numbers, no location: the state after DMESSAGECLEAR at start.
constexpr velmorak_message_state initial_state() {
    velmorak_message_state s{};
    for (auto& line : s.lines) fill_blank(line);
    fill_blank(s.tag);
    for (auto& ref : s.references) fill_blank(ref);
    s.x = -99999.0;
    s.y = -99999.0;
    return s;
}

// Runs a message routine on the run's state loaded from DMESSAGES, then
// writes the state back and flushes what it wrote.
template <typename F>
void with_message_state(F&& routine) {
    guarded([&] {
        velmorak::services::MessageState& m = velmorak::services::DMESSAGES();
        message_state_in(DMESSAGES, m);
        routine();
        message_state_out(m, DMESSAGES);
        flush_console();
    });
}

}  // namespace

constinit velmorak_message_state DMESSAGES = initial_state();

void DMESSAGE(int32_t mode) {
    with_message_state([&] { velmorak::services::DMESSAGE(mode); });
}

void DMESSAGEXY(int32_t mode, double x, double y) {
    with_message_state([&] { velmorak::services::DMESSAGEXY(mode, x, y); });
}

void DMESSAGECLEAR(void) {
    with_message_state([] { velmorak::services::DMESSAGECLEAR(); });
}

void DMESSAGERESETCOUNTERS(void) {
    with_message_state([] { velmorak::services::DMESSAGERESETCOUNTERS(); });
}

void DLINE(int32_t unit) {
    guarded([&] {
        velmorak::services::DLINE(unit);
        flush_console();
    });
}

int32_t LENSL(char* text, size_t text_len) {
    // A text is never longer than an int can count in the suite.
    const int length = text_len > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(text_len);
    return guarded([&] { return velmorak::services::LENSL(text, length); });
}
