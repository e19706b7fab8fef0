#pragma once
// All output: `putstr` writes a text to a set of channels (intersected with the open ones);
// table lines are built field by field with `addstr`, `addreal` and `addgreal`.

#include <source_location>
#include <string>
#include <string_view>

#include "base/fixed.hpp"
#include "textio/session.hpp"

namespace qv {

// Where a printer was called from, for the stop of a value that is not finite. A compiler
// without the library's source location (the static analyser's) gets a stand-in that names
// nothing.
#if defined(__cpp_lib_source_location)
using CallSite = std::source_location;
#else
struct CallSite {
    static constexpr CallSite current() noexcept { return {}; }
    constexpr const char* function_name() const noexcept { return ""; }
};
#endif

inline constexpr char overflowmark = '\xA4';  // ends a table line that reached 250 characters

// Paragraph lines for `formattext`: up to 11 lines of text, ended by an empty line.
using eestrtype = Fixed1<std::string, 12>;

// Writes `s` to the channels of `mask` that are open, with `before` and `after` line ends
// (0 none, 1 one, any other value two).
void putstr(Session& ses, int before, std::string_view s, int after, int32 mask);
// Writes a row of a csv file whole, however long (`putstr` keeps 255 characters of a text), with
// one line end, to the open file channels of `mask`, marking them used.
void putrow(Session& ses, std::string_view s, int32 mask);
// Whether any channel of `mask` is open: text for none of them need not be composed.
inline bool anyopen(const Session& ses, int32 mask) {
    return (ses.ch.activechannels & mask) != 0;
}
// Appends a field: right-justified in `width` columns when width > 0, left-justified when < 0.
void addstr(std::string_view s, int width, std::string& line);
// A value that is not finite stops the run naming the calling procedure.
void addreal(int decimals, bool fixed, int width, std::string& line, real x,
             CallSite where = CallSite::current());
void addgreal(int width, std::string& line, real x, CallSite where = CallSite::current());
// The same for the fields of a csv row, which has no limit on its length (`putrow` writes it).
void addcsv(std::string_view s, int width, std::string& row);
void addcsvreal(int decimals, bool fixed, int width, std::string& row, real x,
                CallSite where = CallSite::current());
// Writes `text` to the open file `f`; a failed write (a full device) is a fatal stop.
void writefile(OutFile& f, std::string_view text);
// Flushes every open run file; a failed write is a fatal stop.
void flushfiles(Session& ses);
// The same for the file of one channel (2 .. 10), when it is open.
void flushfile(Session& ses, int channel);
// Writes the words of `lines` as a paragraph of at most 78 characters a line, screen and log.
void formattext(Session& ses, const eestrtype& lines);

}  // namespace qv
