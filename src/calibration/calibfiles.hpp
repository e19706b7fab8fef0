#pragma once
// Reading the calibration's text files: lines as words, and numbers as a free-format stream
// that runs across line ends, with the remark that follows the numbers of a data line.

#include <string>
#include <string_view>

#include "base/real.hpp"
#include "textio/infile.hpp"
#include "textio/words.hpp"

namespace qv {

class CalibReader {
public:
    // `procname` names the reading routine in the fatal stops of a short or malformed file.
    CalibReader(InFile& f, std::string_view procname, std::string_view filename = {})
        : f_(f), procname_(procname), filename_(filename) {}
    // The name of the file read, for input errors that name it.
    const std::string& filename() const { return filename_; }

    // The next line with words, comments dropped; lines starting with "%" are skipped.
    // False at the end of the file.
    bool line(strings& words, int16& n);
    // The next line as it stands (words of the whole line); false at the end of the file.
    bool rawline(strings& words, int16& n);
    // The next word of the free-format stream; the end of the file is fatal.
    std::string word(std::string_view context);
    int16 integer(std::string_view context);
    real number(std::string_view context);
    // True when a further word stands on the current line of the stream.
    bool moreonline();
    // The rest of the current line of the stream, trimmed; the line is then used up.
    std::string resttext();
    // Drops what is left of the current line of the stream.
    void droprest() { text_.clear(), pos_ = 0; }
    // Skips one whole line (the stream's current line must be used up).
    void skipline();

private:
    bool nextline();
    InFile& f_;
    std::string procname_;
    std::string filename_;
    std::string text_;
    std::size_t pos_ = 0;
};

}  // namespace qv

namespace qv {

// x fixed-point with d decimals, right-justified in w columns (wider when it needs more).
std::string fixfield(real x, int w, int d);
// An integer right-justified in w columns.
std::string intfield(long v, int w);

}  // namespace qv
