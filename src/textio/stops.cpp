#include "textio/stops.hpp"

#include <cstdio>

#include "textio/files.hpp"
#include "textio/session.hpp"
#include "textio/words.hpp"

namespace qv {

bool iskill(std::string_view s) {
    int16 first = 0;
    int16 last = 0;
    blankbounds(s, first, last);
    return last >= 4 && trim(s) == "kill";
}

namespace {

// Writes `text` straight to each of the given channels that is open (not through putstr, so
// neither the used flags nor the screen width play a part).
void write_direct(Session& ses, std::initializer_list<int> channels, const std::string& text) {
    for (int i : channels) {
        if ((ses.ch.activechannels & (int32{1} << i)) == 0) continue;
        if (i == 0) {
            ses.console.write(text);
            ses.console.flush();
        } else if (std::FILE* f = ses.ch.files[static_cast<std::size_t>(i)].f; f != nullptr) {
            // a failure stays on the stream's error flag, which closing the files reports
            (void)std::fwrite(text.data(), 1, text.size(), f);
        }
    }
}

// After the files are closed: names a file whose writes failed, unless the stop said so already.
void tellwriteproblem(Session& ses, std::string_view stoptext) {
    if (ses.ch.writeproblem.empty()) return;
    const std::string text = "problem writing " + ses.ch.writeproblem;
    if (text != stoptext) ses.console.write(text + "\n");
}

}  // namespace

void endbombed(Session& ses, const RunBombed& stop) {
    ses.stopping = true;
    std::string text = "\n-- run bombed in " + stop.procname + " : " + stop.message + "\n\n";
    if (stop.fault == myfault) {
        text += "===This shouldn't have happened...===\n";
        text += "please report it to the QUORVANTIS maintainers, as an issue of the project,\n";
        text += "with full details, relevant files etc etc\n\n";
    }
    write_direct(ses, {0, 2, 3, 4}, text);
    closefiles(ses);
    tellwriteproblem(ses, stop.message);
    if (!ses.autoexiton) {
        ses.console.write("\nhit return to exit program\n");
        ses.console.flush();
        std::string discarded;
        ses.console.readline(discarded);  // the end of input counts as return here
    }
}

void endkilled(Session& ses) {
    ses.stopping = true;
    write_direct(ses, {0, 2, 3}, "\n-- run killed --\n");
    closefiles(ses);
    tellwriteproblem(ses, "");
}

}  // namespace qv
