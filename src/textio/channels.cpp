#include "textio/channels.hpp"

#include <cmath>
#include <cstdio>

#include "base/fatal.hpp"
#include "textio/numfmt.hpp"
#include "textio/words.hpp"

namespace qv {
namespace {

std::string_view line_ends(int count) {
    if (count == 0) return "";
    return count == 1 ? "\n" : "\n\n";
}

void putscreen(Session& ses, int before, std::string_view s, int after) {
    const int limit = ses.ch.pagewidth - 2;
    std::string text(s);
    if (ses.ch.dontwrapon && static_cast<int>(text.size()) > limit) {
        text.resize(static_cast<std::size_t>(limit));
        text.push_back('#');
    }
    std::string out(line_ends(before));
    out += text;
    out += line_ends(after);
    ses.console.write(out);
    if (after == 0) ses.console.flush();
}

void putfile(OutFile& f, int before, std::string_view s, int after) {
    std::string out(line_ends(before));
    out += s;
    out += line_ends(after);
    writefile(f, out);
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
    for (int i = 0; i < nchannels; ++i) {
        if ((set & (int32{1} << i)) == 0) continue;
        if (i == 0) {
            putscreen(ses, before, text, after);
        } else if (i == 1) {
            bomb("putstr", "TE not impemented yet", yourfault);
        } else if (ses.ch.files[static_cast<std::size_t>(i)].f != nullptr) {
            // Marked used first: a file that failed keeps what it holds.
            if (i >= 4) ses.ch.used[static_cast<std::size_t>(i)] = true;
            putfile(ses.ch.files[static_cast<std::size_t>(i)], before, text, after);
        }
    }
}

void addstr(std::string_view s, int width, std::string& line) {
    const auto length = static_cast<int>(line.size());
    const auto n = static_cast<int>(s.size());
    if (length > 0 && line.back() == overflowmark) return;
    int padded = n;
    if (width != 0 && (width > 0 ? width : -width) > n) padded = width > 0 ? width : -width;
    // The limit is tested on the field as it will stand, blanks included.
    if (length > 0 && length + padded > 250) {
        line.push_back(overflowmark);
    } else if (width > 0 && width != n) {
        line += spaces(width - n);
        line += s;
    } else if (width < 0 && -width != n) {
        line += s;
        line += spaces(-width - n);
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
    addstr(realfixstr(decimals, fixed, x), width, line);
}

void addgreal(int width, std::string& line, real x, CallSite where) {
    if (!std::isfinite(x)) stop_unprintable(where, x);
    addstr(realstr(x), width, line);
}

void flushfiles(Session& ses) {
    for (int i = 2; i < nchannels; ++i) {
        const OutFile& f = ses.ch.files[static_cast<std::size_t>(i)];
        if (f.f != nullptr && (std::fflush(f.f) != 0 || std::ferror(f.f) != 0)) {
            bomb("flushfiles", "problem writing " + f.name, yourfault);
        }
    }
}

void formattext(Session& ses, const eestrtype& lines) {
    strings all;
    int total = 0;
    for (int k = 1; k <= eestrtype::capacity() && !lines[k].empty(); ++k) {
        strings words;
        int16 n = 0;
        string2strings(lines[k], static_cast<int>(lines[k].size()), words, n);
        for (int i = 1; i <= n; ++i) {
            if (total >= maxwords) bomb("format text", "too many words in lines", yourfault);
            all[++total] = words[i];
        }
    }
    putstr(ses, 0, "", 1, screenlogmask);
    std::string buffer;
    for (int i = 1; i <= total; ++i) {
        if (!buffer.empty() && buffer.size() + all[i].size() > 78) {
            putstr(ses, 0, buffer, 1, screenlogmask);
            buffer.clear();
        }
        buffer += all[i];
        buffer += ' ';
    }
    putstr(ses, 0, buffer, 1, screenlogmask);
}

}  // namespace qv
