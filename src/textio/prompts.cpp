#include "textio/prompts.hpp"

#include "textio/channels.hpp"
#include "textio/numfmt.hpp"
#include "textio/stops.hpp"

namespace qv {
namespace {

// True when the channel of `mask` is open.
bool active(const Session& ses, int32 mask) {
    return (ses.ch.activechannels & mask) != 0;
}

[[noreturn]] void readfault() {
    bomb("read in prstrings", "problems reading", yourfault);
}

// One raw keyboard line after flushing the files, cut to the 255 characters of a text; the end
// of input is a read error.
std::string readanswer(Session& ses) {
    flushfiles(ses);
    std::string line;
    if (!ses.console.readline(line)) readfault();
    if (line.size() > maxtextlength) line.resize(maxtextlength);
    return line;
}

void echo_yesno(Session& ses, bool yes) {
    if (active(ses, logmask)) putstr(ses, 0, yes ? "yes" : "no", 1, logmask);
}

}  // namespace

void prstrings(Session& ses, strings& words, int16& n) {
    const std::string raw = readanswer(ses);
    std::string line;
    for (char c : raw) {
        if (c == '\b') {
            if (!line.empty()) line.pop_back();
        } else {
            line.push_back(c);
        }
    }
    string2strings(line, static_cast<int>(line.size()), words, n);
}

void promptstrings(Session& ses, std::string_view prompt, strings& words, int16& n) {
    if (active(ses, screenmask)) {
        putstr(ses, 0, std::string(prompt) + " : ", 0, screenlogmask);
        prstrings(ses, words, n);
        if (active(ses, logmask)) {
            std::string echo;
            if (n == 0) {
                echo = "(nothing input)";
            } else if (n == 1) {
                echo = words[1];
            } else {
                for (int i = 1; i <= n; ++i) echo += " " + words[i];
                echo += " ";
            }
            putstr(ses, 0, echo, 1, logmask);
        }
    } else if (active(ses, temask)) {
        bomb("promptstrings", "TE not impemented yet", yourfault);
    }
    if (n == 1 && iskill(words[1])) killrun();
}

void promptstring(Session& ses, std::string_view prompt, std::string& w) {
    strings words;
    int16 n = 0;
    promptstrings(ses, prompt, words, n);
    w = n > 0 ? words[1] : std::string();
}

namespace {

// Asks until the first word of the answer converts; `convert` leaves its message in `msg`.
template <class Convert>
void prompt_until(Session& ses, std::string_view prompt, Convert convert) {
    strings words;
    int16 n = 0;
    std::string msg;
    bool first = true;
    bool hadwords = false;
    for (;;) {
        if (first) {
            promptstrings(ses, prompt, words, n);
        } else {
            promptstrings(ses, hadwords ? std::string_view(msg) : std::string_view(" "), words, n);
        }
        first = false;
        hadwords = n > 0;
        if (n > 0) {
            if (iskill(words[1])) killrun();
            if (convert(words[1], msg)) return;
        }
    }
}

}  // namespace

void promptreal(Session& ses, std::string_view prompt, real& x) {
    prompt_until(ses, prompt,
                 [&](const std::string& w, std::string& msg) { return str2real(w, x, msg); });
}

void promptinteger(Session& ses, std::string_view prompt, int16& i) {
    prompt_until(ses, prompt,
                 [&](const std::string& w, std::string& msg) { return str2int(w, i, msg); });
}

void promptreals(Session& ses, std::string_view prompt, rrvector& xs, int16& n) {
    if (n > maxvalues) bomb("promptreals", "too many values" + maxtext(maxvalues), myfault);
    const int16 wanted = n;
    strings words;
    int16 m = 0;
    for (;;) {
        promptstrings(ses, prompt, words, m);
        if (wanted != 0 || m <= maxvalues) break;
        putstr(ses, 0, "too many values" + maxtext(maxvalues), 1, screenlogmask);
    }
    if (wanted == 0) n = m;
    int16 total = m;
    while (n > total) {
        strings more;
        int16 k = 0;
        promptstrings(ses, " ", more, k);
        for (int i = 1; i <= k && total < maxwords; ++i) words[++total] = more[i];
    }
    if (n == 0) return;
    for (int i = 1; i <= total; ++i) {
        if (iskill(words[i])) killrun();
    }
    for (int i = 1; i <= n; ++i) {
        real x = 0;
        std::string msg;
        std::string w = words[i];
        while (!str2real(w, x, msg)) {
            strings again;
            int16 k = 0;
            promptstrings(ses, w.empty() ? std::string_view(" ") : std::string_view(msg), again, k);
            w = k > 0 ? again[1] : std::string();
            if (k > 0 && iskill(w)) killrun();
        }
        xs[i] = x;
    }
}

bool query(Session& ses, std::string_view prompt, bool lastwait) {
    std::string answer;
    if (active(ses, screenmask)) {
        const std::string question = std::string(prompt) + " ? ";
        for (int round = 0; round < 2; ++round) {
            putstr(ses, 0, question, 0, screenlogmask);
            flushfiles(ses);
            if (!ses.console.readline(answer)) {
                if (!lastwait) readfault();
                answer.clear();
            }
            if (answer.size() > maxtextlength) answer.resize(maxtextlength);
            if (round == 0 && answer == "?") {
                putstr(ses, 1, "sorry, you are on your own...", 2, screenlogmask);
            } else {
                break;
            }
        }
    }
    answer = trim(answer);
    const bool yes =
        answer.empty() || answer == "1" || answer == "yes" || answer == "y" || answer == "Y";
    echo_yesno(ses, yes);
    if (active(ses, temask)) bomb("query", "TE not impemented yet", yourfault);
    if (answer == "kill") killrun();
    return yes;
}

void promptcontrol(Session& ses, std::string_view prompt, controlboolean& cb) {
    if (cb != controlboolean::ask) return;
    std::string answer;
    if (active(ses, screenmask)) {
        putstr(ses, 0, std::string(prompt) + " ? ", 0, screenlogmask);
        answer = trim(readanswer(ses));
    } else if (active(ses, temask)) {
        bomb("promptcontrol", "TE not impemented yet", yourfault);
    }
    const bool yes =
        answer.empty() || answer == "yes" || answer == "y" || answer == "1" || answer == "ok";
    echo_yesno(ses, yes);
    if (answer == "kill") killrun();
    cb = yes ? controlboolean::yes : controlboolean::no;
}

}  // namespace qv
