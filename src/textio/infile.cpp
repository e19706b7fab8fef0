#include "textio/infile.hpp"

namespace qv {

namespace {

constexpr std::size_t blocksize = 8192;

}  // namespace

bool InFile::open(const std::string& name) {
    close();
    f_ = std::fopen(name.c_str(), "rb");
    if (f_ != nullptr) {
        name_ = name;
        // The blocks are the file's only buffer.
        // (without them the stream keeps its own buffer, which costs a copy and nothing else)
        (void)std::setvbuf(f_, nullptr, _IONBF, 0);
        block_ = std::make_unique<char[]>(blocksize);
    }
    return f_ != nullptr;
}

bool InFile::fill() {
    pos_ = 0;
    end_ = f_ == nullptr ? 0 : std::fread(block_.get(), 1, blocksize, f_);
    return end_ > 0;
}

bool InFile::eof() {
    if (f_ == nullptr) return true;
    return pos_ == end_ && !fill();
}

bool InFile::readline(std::string& line) {
    line.clear();
    if (f_ == nullptr) return false;
    if (pos_ == end_ && !fill()) return false;
    for (;;) {
        const char* const b = block_.get();
        std::size_t j = pos_;
        while (j < end_ && b[j] != '\n' && b[j] != '\r' && b[j] != '\0') ++j;
        line.append(b + pos_, j - pos_);
        pos_ = j;
        if (j == end_) {
            if (!fill()) return true;  // the last line has no line end
            continue;
        }
        const char c = b[pos_++];
        if (c == '\0') {
            // A NUL byte becomes the two characters "\0", so that echoes and messages never
            // write it raw.
            line += "\\0";
            continue;
        }
        if (c == '\r') {
            if (pos_ == end_ && !fill()) return true;
            if (block_[pos_] == '\n') ++pos_;
        }
        return true;
    }
}

void InFile::rewind() {
    if (f_ != nullptr) std::rewind(f_);
    pos_ = 0;
    end_ = 0;
}

bool InFile::close() {
    const bool closed = f_ == nullptr || std::fclose(f_) == 0;
    f_ = nullptr;
    block_.reset();
    pos_ = 0;
    end_ = 0;
    return closed;
}

}  // namespace qv
