#pragma once
// A text file opened for reading line by line.

#include <cstddef>
#include <cstdio>
#include <memory>
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
    // Closes the file; false when the system reports that closing it failed.
    bool close();
    const std::string& name() const { return name_; }

private:
    // Reads the next block of the file into the buffer; false at the end of the file.
    bool fill();

    std::FILE* f_ = nullptr;
    std::string name_;
    // The file is read in blocks: the bytes [pos_, end_) of the block are still to be read.
    std::unique_ptr<char[]> block_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

}  // namespace qv
