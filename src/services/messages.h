#pragma once
// The message log: one message composed at a time in the shared state,
// classified by its first word (ERROR, WARNING, CHECK, UNSTABLE), counted,
// written to the console (and to a log unit when one is set) and cleared.
// The log never stops the run; callers that must stop call STOPRUN after it.
#include <array>
#include <string>
#include <string_view>

namespace velmorak::services {

struct MessageState {
    int log_unit = 0;
    std::array<int, 4> layer_units{};          // message layers: never assigned by the converter
    std::array<std::string, 4> line;           // lines 1..3 from the caller, line 4 from the references
    std::string tag;                           // "XY: " for a located message
    std::array<double, 2> text_geometry{};
    std::array<int, 3> counts{};               // errors, warnings, checks
    std::array<int, 3> located_counts{};
    int number = 0;                            // the number after the kind word
    int kind = 0;                              // 0 none, 1 error, 2 warning, 3 check, 4 unstable
    std::array<std::string, 3> references;
    int record_unit = 0;
    double x = -99999.0;
    double y = -99999.0;
    bool located = false;
};

// The run's message state.
MessageState& DMESSAGES();
void DMESSAGE(int mode);
void DMESSAGEXY(int mode, double x, double y);
void DMESSAGECLEAR();
void DMESSAGERESETCOUNTERS();
void DLINE(int unit);

// Composes lines 1 to 3 and shows the message with DMESSAGE(mode).
void show_message(int mode, std::string_view line1, std::string_view line2 = {}, std::string_view line3 = {});

}  // namespace velmorak::services
