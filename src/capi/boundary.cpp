#include "capi/boundary.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "util/fixed_text.h"

namespace velmorak::capi {
namespace {

template <std::size_t N>
std::string_view c_text(const char (&text)[N]) noexcept {
    return util::rtrim(std::string_view(text, N));
}

template <std::size_t N>
void c_text_out(char (&out)[N], std::string_view text) noexcept {
    text_out(out, N, text);
}

}  // namespace

void text_out(char* out, std::size_t out_len, std::string_view text) noexcept {
    if (out_len == 0) return;
    const std::size_t n = std::min(text.size(), out_len);
    // The result may have been computed from the caller's own buffer.
    if (n > 0) std::memmove(out, text.data(), n);
    std::memset(out + n, ' ', out_len - n);
}

void flush_console() noexcept { services::runtime().console.flush(); }

void end_process(int status) noexcept {
    flush_console();
    std::exit(status);
}

void message_state_in(const velmorak_message_state& c, services::MessageState& m) {
    m.log_unit = c.log_unit;
    std::copy(std::begin(c.layer_units), std::end(c.layer_units), m.layer_units.begin());
    for (std::size_t i = 0; i < m.line.size(); ++i) m.line[i].assign(c_text(c.lines[i]));
    m.tag.assign(c_text(c.tag));
    std::copy(std::begin(c.text_geometry), std::end(c.text_geometry), m.text_geometry.begin());
    std::copy(std::begin(c.counts), std::end(c.counts), m.counts.begin());
    std::copy(std::begin(c.located_counts), std::end(c.located_counts), m.located_counts.begin());
    m.number = c.number;
    m.kind = c.kind;
    for (std::size_t i = 0; i < m.references.size(); ++i) m.references[i].assign(c_text(c.references[i]));
    m.record_unit = c.record_unit;
    m.x = c.x;
    m.y = c.y;
    m.located = c.located != 0;
}

void message_state_out(const services::MessageState& m, velmorak_message_state& c) noexcept {
    c.log_unit = m.log_unit;
    std::copy(m.layer_units.begin(), m.layer_units.end(), std::begin(c.layer_units));
    for (std::size_t i = 0; i < m.line.size(); ++i) c_text_out(c.lines[i], m.line[i]);
    c_text_out(c.tag, m.tag);
    std::copy(m.text_geometry.begin(), m.text_geometry.end(), std::begin(c.text_geometry));
    std::copy(m.counts.begin(), m.counts.end(), std::begin(c.counts));
    std::copy(m.located_counts.begin(), m.located_counts.end(), std::begin(c.located_counts));
    c.number = m.number;
    c.kind = m.kind;
    for (std::size_t i = 0; i < m.references.size(); ++i) c_text_out(c.references[i], m.references[i]);
    c.record_unit = m.record_unit;
    c.x = m.x;
    c.y = m.y;
    c.located = logical(m.located);
}

}  // namespace velmorak::capi
