#pragma once
// Table checks for the text, path and number routines: one row a case, and
// every failure names the input of its row.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace velmorak::util::tables {

// A routine of one text and what it gives.
struct TextRow {
    std::string in;
    std::string want;
};

template <class Routine>
void expect_texts(Routine routine, std::initializer_list<TextRow> rows) {
    for (const TextRow& row : rows) EXPECT_EQ(routine(row.in), row.want) << "input \"" << row.in << '"';
}

// An in-place routine: what it answers and the text it leaves.
struct InPlaceRow {
    std::string in;
    bool result;
    std::string out;
};

template <class Routine>
void expect_in_place(Routine routine, std::initializer_list<InPlaceRow> rows) {
    for (const InPlaceRow& row : rows) {
        std::string text = row.in;
        EXPECT_EQ(routine(text), row.result) << "input \"" << row.in << '"';
        EXPECT_EQ(text, row.out) << "input \"" << row.in << '"';
    }
}

// A routine of two texts that answers yes or no.
struct AnswerRow {
    std::string a;
    std::string b;
    bool want;
};

template <class Routine>
void expect_answers(Routine routine, std::initializer_list<AnswerRow> rows) {
    for (const AnswerRow& row : rows) {
        EXPECT_EQ(routine(row.a, row.b), row.want) << "inputs \"" << row.a << "\" and \"" << row.b << '"';
    }
}

}  // namespace velmorak::util::tables
