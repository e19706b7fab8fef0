#pragma once
// A text file opened for reading line by line.

#include <cstdio>
#include <string>

namespace qv {

class InFile {
public:
    InFile() = default;
    InFile(const InFile&) = delete;
    InFile& operator=(const InFile&) = delete;
    ~InFile() { close(); }

    bool open(const std::string& name);
    bool is_open() const { return f_ != nullptr; }
    // True when no further line can be read.
    bool eof();
    // One line without its line end ("\n", "\r\n" or "\r"); false at the end of the file.
    bool readline(std::string& line);
    void rewind();
    void close();
    const std::string& name() const { return name_; }

private:
    std::FILE* f_ = nullptr;
    std::string name_;
};

}  // namespace qv
