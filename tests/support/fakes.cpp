#include "support/fakes.hpp"

#include <fstream>
#include <random>
#include <sstream>

namespace qv::test {

bool FakeConsole::readline(std::string& line) {
    line.clear();
    if (pos_ >= input_.size()) return false;
    const std::size_t end = input_.find('\n', pos_);
    const std::size_t stop = end == std::string::npos ? input_.size() : end;
    for (std::size_t i = pos_; i < stop; ++i) {
        appendinputbyte(line, static_cast<unsigned char>(input_[i]));
    }
    pos_ = end == std::string::npos ? input_.size() : end + 1;
    return true;
}

DateTime FixedClock::now() {
    DateTime d;
    d.year = 2026;
    d.month = 12;
    d.day = 8;
    d.weekday = 2;
    d.hour = 14;
    d.minute = 5;
    d.second = 7;
    d.millisecond = 250;
    return d;
}

TempDir::TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("qv-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TempDir::exists(const std::string& name) const {
    return std::filesystem::exists(path_ / name);
}

}  // namespace qv::test
