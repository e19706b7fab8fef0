#include "textio/infile.hpp"

#include "textio/console.hpp"

namespace qv {

bool InFile::open(const std::string& name) {
    close();
    f_ = std::fopen(name.c_str(), "rb");
    if (f_ != nullptr) name_ = name;
    return f_ != nullptr;
}

bool InFile::eof() {
    if (f_ == nullptr) return true;
    const int ch = std::fgetc(f_);
    if (ch == EOF) return true;
    std::ungetc(ch, f_);
    return false;
}

bool InFile::readline(std::string& line) {
    line.clear();
    if (f_ == nullptr) return false;
    int ch = std::fgetc(f_);
    if (ch == EOF) return false;
    while (ch != EOF && ch != '\n' && ch != '\r') {
        appendinputbyte(line, ch);
        ch = std::fgetc(f_);
    }
    if (ch == '\r') {
        const int next = std::fgetc(f_);
        if (next != '\n' && next != EOF) std::ungetc(next, f_);
    }
    return true;
}

void InFile::rewind() {
    if (f_ != nullptr) std::rewind(f_);
}

void InFile::close() {
    if (f_ != nullptr) std::fclose(f_);
    f_ = nullptr;
}

}  // namespace qv
