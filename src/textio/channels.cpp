#include "textio/channels.hpp"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "base/fatal.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

std::string_view line_ends(int count) {
    if (count == 0) return "";
    return count == 1 ? "\n" : "\n\n";
}

// A text between its line ends, composed once for every channel it goes to.
class Framed {
public:
    Framed(int before, std::string_view s, int after) {
        const std::string_view b = line_ends(before);
        const std::string_view a = line_ends(after);
        size_ = b.size() + s.size() + a.size();
        char* o =
            size_ <= sizeof(local_) ? local_ : (heap_ = std::make_unique<char[]>(size_)).get();
        b.copy(o, b.size());
        s.copy(o + b.size(), s.size());
        a.copy(o + b.size() + s.size(), a.size());
        text_ = o;
    }
    std::string_view view() const { return {text_, size_}; }

private:
    char local_[2 + maxtextlength + 2];
    std::unique_ptr<char[]> heap_;
    const char* text_ = nullptr;
    std::size_t size_ = 0;
};

void putscreen(Session& ses, int before, std::string_view s, int after) {
    const int limit = ses.ch.pagewidth - 2;
    if (ses.ch.dontwrapon && static_cast<int>(s.size()) > limit) {
        std::string text(s.substr(0, static_cast<std::size_t>(limit < 0 ? 0 : limit)));
        text.push_back('#');
        ses.console.write(Framed(before, text, after).view());
    } else {
        ses.console.write(Framed(before, s, after).view());
    }
    if (after == 0) ses.console.flush();
}

// The padding of a field: n blanks, none for a count outside 1 .. 249 (as `spaces` gives).
void appendblanks(int n, std::string& line) {
    if (n > 0 && n < 250) line.append(static_cast<std::size_t>(n), ' ');
}

}  // namespace

void writefile(OutFile& f, std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), f.f) != text.size() || std::ferror(f.f) != 0) {
        bomb("writefile", "problem writing " + f.name, yourfault);
    }
}

void putstr(Session& ses, int before, std::string_view s, int after, int32 mask) {
    const std::string_view text = s.substr(0, maxtextlength);
    const int32 set = mask & ses.ch.activechannels;
    if ((set & ~screenmask) == 0) {
        if (set != 0) putscreen(ses, before, text, after);
        return;
    }
    const Framed framed(before, text, after);
    for (int i = 0; i < nchannels; ++i) {
        if ((set & (int32{1} << i)) == 0) continue;
        if (i == 0) {
            putscreen(ses, before, text, after);
        } else if (i == 1) {
            bomb("putstr", "TE not impemented yet", yourfault);
        } else if (ses.ch.files[static_cast<std::size_t>(i)].f != nullptr) {
            // Marked used first: a file that failed keeps what it holds.
            if (i >= 4) ses.ch.used[static_cast<std::size_t>(i)] = true;
            writefile(ses.ch.files[static_cast<std::size_t>(i)], framed.view());
        }
    }
}

void putrow(Session& ses, std::string_view s, int32 mask) {
    const int32 set = mask & ses.ch.activechannels & ~(screenmask | temask);
    if (set == 0) return;
    std::string text(s);
    text.push_back('\n');
    for (int i = 2; i < nchannels; ++i) {
        OutFile& f = ses.ch.files[static_cast<std::size_t>(i)];
        if ((set & (int32{1} << i)) == 0 || f.f == nullptr) continue;
        if (i >= 4) ses.ch.used[static_cast<std::size_t>(i)] = true;
        writefile(f, text);
    }
}

void addstr(std::string_view s, int width, std::string& line) {
    const auto length = static_cast<int>(line.size());
    const auto n = static_cast<int>(s.size());
    if (length > 0 && line.back() == overflowmark) return;
    // A table line is built field by field up to its full length: room for it at once.
    if (line.capacity() < maxtextlength + 1) line.reserve(maxtextlength + 1);
    int padded = n;
    if (width != 0 && (width > 0 ? width : -width) > n) padded = width > 0 ? width : -width;
    // The limit is tested on the field as it will stand, blanks included.
    if (length > 0 && length + padded > 250) {
        line.push_back(overflowmark);
    } else if (width > 0 && width != n) {
        appendblanks(width - n, line);
        line += s;
    } else if (width < 0 && -width != n) {
        line += s;
        appendblanks(-width - n, line);
    } else {
        line += s;
    }
    if (line.size() > maxtextlength) line.resize(maxtextlength);
}

// A table never shows a blank field for a number that overflowed or is undefined: the run stops
// and names the procedure whose table it was.
[[noreturn]] static void stop_unprintable(const CallSite& where, real x) {
    std::string name(where.function_name());
    const auto paren = name.find('(');
    if (paren != std::string::npos) name.resize(paren);
    const auto space = name.rfind(' ');
    if (space != std::string::npos) name.erase(0, space + 1);
    for (const std::string_view scope : {"qv::", "{anonymous}::"}) {
        if (name.rfind(scope, 0) == 0) name.erase(0, scope.size());
    }
    bomb(name,
         std::string(std::isnan(x) ? "an undefined number (nan)"
                                   : "a number that overflowed to infinity") +
             " reached a printed table",
         yourfault);
}

void addreal(int decimals, bool fixed, int width, std::string& line, real x, CallSite where) {
    if (!std::isfinite(x)) stop_unprintable(where, x);
    NumberText text;
    realfixtext(decimals, fixed, x, text);
    addstr(text.view(), width, line);
}

void addgreal(int width, std::string& line, real x, CallSite where) {
    if (!std::isfinite(x)) stop_unprintable(where, x);
    NumberText text;
    realtext(x, text);
    addstr(text.view(), width, line);
}

void addcsv(std::string_view s, int width, std::string& row) {
    const auto n = static_cast<int>(s.size());
    if (width > n) appendblanks(width - n, row);
    row += s;
    if (-width > n) appendblanks(-width - n, row);
}

void addcsvreal(int decimals, bool fixed, int width, std::string& row, real x, CallSite where) {
    if (!std::isfinite(x)) stop_unprintable(where, x);
    NumberText text;
    realfixtext(decimals, fixed, x, text);
    addcsv(text.view(), width, row);
}

void flushfile(Session& ses, int channel) {
    if (channel < 2 || channel >= nchannels) bomb("flushfile", "not a file channel", myfault);
    const OutFile& f = ses.ch.files[static_cast<std::size_t>(channel)];
    if (f.f != nullptr && (std::fflush(f.f) != 0 || std::ferror(f.f) != 0)) {
        bomb("flushfiles", "problem writing " + f.name, yourfault);
    }
}

void flushfiles(Session& ses) {
    for (int i = 2; i < nchannels; ++i) flushfile(ses, i);
}

void formattext(Session& ses, const eestrtype& lines) {
    // The words of the lines as `string2strings` cuts them (at most `maxwordlength` characters
    // each, at most `maxwords` in a line and in all), kept as pieces of the lines.
    std::vector<std::string_view> all;
    for (int k = 1; k <= eestrtype::capacity() && !lines[k].empty(); ++k) {
        const std::string_view line = lines[k];
        const std::size_t first = all.size();
        std::size_t i = 0;
        while (i < line.size()) {
            if (isblankchar(line[i])) {
                ++i;
                continue;
            }
            const std::size_t start = i;
            while (i < line.size() && !isblankchar(line[i])) ++i;
            if (all.size() - first >= static_cast<std::size_t>(maxwords)) {
                bomb("string2strings", "too many \"" + std::string(line) + "\"", yourfault);
            }
            all.push_back(line.substr(start, std::min<std::size_t>(i - start, maxwordlength)));
        }
        if (all.size() > static_cast<std::size_t>(maxwords)) {
            bomb("format text", "too many words in lines", yourfault);
        }
    }
    putstr(ses, 0, "", 1, screenlogmask);
    std::string buffer;
    for (const std::string_view word : all) {
        if (!buffer.empty() && buffer.size() + word.size() > 78) {
            putstr(ses, 0, buffer, 1, screenlogmask);
            buffer.clear();
        }
        buffer += word;
        buffer += ' ';
    }
    putstr(ses, 0, buffer, 1, screenlogmask);
}

}  // namespace qv
