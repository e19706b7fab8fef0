#pragma once
// Test doubles: a console fed from a string and recording what is written, a fixed clock, a
// temporary working folder, and a session wired to them.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "textio/session.hpp"

namespace qv::test {

class FakeConsole final : public Console {
public:
    explicit FakeConsole(std::string input = {}) : input_(std::move(input)) {}
    void write(std::string_view text) override { output += text; }
    void flush() override {}
    bool readline(std::string& line) override;
    void feed(const std::string& more) { input_ += more; }

    std::string output;

private:
    std::string input_;
    std::size_t pos_ = 0;
};

// 14:05:07.250 on Tuesday 8 December 2026; millis advance by `step` at each call.
class FixedClock final : public Clock {
public:
    DateTime now() override;
    int64 millis() override { return ms += step; }
    int64 ms = 0;
    int64 step = 0;
};

// A fresh empty folder that becomes the working folder for the life of the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// A session on a fake console and a fixed clock with only the screen channel open.
struct TestSession {
    explicit TestSession(std::string input = {}) : console(std::move(input)), ses(console, clock) {
        ses.ch.activechannels = 1;
    }
    FakeConsole console;
    FixedClock clock;
    Session ses;
};

}  // namespace qv::test

// Relative closeness in long double (EXPECT_NEAR compares in double).
#define EXPECT_REL_NEAR(a, b, rel)                                                    \
    do {                                                                              \
        const long double qv_a_ = (a);                                                \
        const long double qv_b_ = (b);                                                \
        const long double qv_scale_ = std::fabs(qv_b_) > 0 ? std::fabs(qv_b_) : 1.0L; \
        EXPECT_LE(std::fabs(qv_a_ - qv_b_) / qv_scale_, (rel))                        \
            << #a " = " << static_cast<double>(qv_a_) << ", " #b " = "                \
            << static_cast<double>(qv_b_);                                            \
    } while (0)

// A fatal stop with exactly this procedure name and message.
#define EXPECT_BOMB(statement, proc, msg)                      \
    do {                                                       \
        try {                                                  \
            statement;                                         \
            ADD_FAILURE() << "no fatal stop from " #statement; \
        } catch (const ::qv::RunBombed& qv_stop_) {            \
            EXPECT_EQ(qv_stop_.procname, proc);                \
            EXPECT_EQ(qv_stop_.message, msg);                  \
        }                                                      \
    } while (0)
