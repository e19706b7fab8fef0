// Whole runs of the diagram drawer through the test runner that admits calculation code 0: the
// Al2SiO5 diagram is drawn, checked as XML, compared with its expected text and rendered.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/fakes.hpp"

namespace fs = std::filesystem;

namespace qv::test {
namespace {

const fs::path cases = fs::path(QV_TEST_DATA).parent_path() / "utilities" / "data";

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string masked(const std::string& text) {
    static const std::regex datetime(
        "[0-9]{1,2}\\.[0-9]{2} on (Sun|Mon|Tue|Wed|Thu|Fri|Sat) [0-9]{1,2} "
        "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec),[0-9]{4}");
    return std::regex_replace(text, datetime, "<date and time>");
}

int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A tool the rendering tests need; tools/install-deps installs it.
bool have(const std::string& tool) {
    return shell("command -v " + tool + " > /dev/null 2>&1") == 0;
}

// Runs the drawer on the inputs of one case folder in a fresh working folder.
struct DrawerRun {
    explicit DrawerRun(const std::string& name) {
        for (const auto& e : fs::directory_iterator(cases / name)) {
            if (e.is_regular_file() && e.path().filename().string().rfind("expected", 0) != 0) {
                fs::copy_file(e.path(), work.path() / e.path().filename());
            }
        }
        exitcode = shell(std::string("'") + QV_UTILITY_RUNNER + "' < /dev/null > screen.out 2>&1");
    }
    TempDir work;
    int exitcode = -1;
};

// An 8-bit RGB or RGBA picture decoded from the PNG the renderer writes (no interlace).
struct Picture {
    int width = 0;
    int height = 0;
    std::size_t bpp = 4;  // bytes a pixel
    std::vector<std::uint8_t> rgba;
    int grey(int x, int y) const {
        const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                static_cast<std::size_t>(x)) *
                               bpp;
        return (rgba[at] + rgba[at + 1] + rgba[at + 2]) / 3;
    }
    // The darkest grey within a pixel of (x, y): lines are drawn anti-aliased.
    int darkest(int x, int y) const {
        int g = 255;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) g = std::min(g, grey(x + dx, y + dy));
        }
        return g;
    }
};

std::uint32_t bigendian(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<std::uint8_t>(s[at + k]);
    return v;
}

Picture readpng(const std::string& png) {
    Picture p;
    std::string idat;
    std::size_t at = 8;
    while (at + 8 <= png.size()) {
        const std::uint32_t length = bigendian(png, at);
        const std::string type = png.substr(at + 4, 4);
        if (type == "IHDR") {
            p.width = static_cast<int>(bigendian(png, at + 8));
            p.height = static_cast<int>(bigendian(png, at + 12));
            EXPECT_EQ(png[at + 16], 8) << "bit depth";
            EXPECT_TRUE(png[at + 17] == 2 || png[at + 17] == 6) << "colour type RGB or RGBA";
            p.bpp = png[at + 17] == 6 ? 4 : 3;
        } else if (type == "IDAT") {
            idat += png.substr(at + 8, length);
        }
        at += 12 + length;
    }
    const std::size_t stride = static_cast<std::size_t>(p.width) * p.bpp;
    std::vector<std::uint8_t> raw((stride + 1) * static_cast<std::size_t>(p.height));
    uLongf rawsize = raw.size();
    EXPECT_EQ(
        uncompress(raw.data(), &rawsize, reinterpret_cast<const Bytef*>(idat.data()), idat.size()),
        Z_OK);
    p.rgba.assign(stride * static_cast<std::size_t>(p.height), 0);
    for (std::size_t y = 0; y < static_cast<std::size_t>(p.height); ++y) {
        const std::uint8_t filter = raw[y * (stride + 1)];
        for (std::size_t x = 0; x < stride; ++x) {
            const int a = x >= p.bpp ? p.rgba[y * stride + x - p.bpp] : 0;
            const int b = y > 0 ? p.rgba[(y - 1) * stride + x] : 0;
            const int c = x >= p.bpp && y > 0 ? p.rgba[(y - 1) * stride + x - p.bpp] : 0;
            int predicted = 0;
            switch (filter) {
                case 1: predicted = a; break;
                case 2: predicted = b; break;
                case 3: predicted = (a + b) / 2; break;
                case 4: {
                    const int e = a + b - c;
                    const int pa = std::abs(e - a);
                    const int pb = std::abs(e - b);
                    const int pc = std::abs(e - c);
                    predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default: break;
            }
            p.rgba[y * stride + x] =
                static_cast<std::uint8_t>(raw[y * (stride + 1) + 1 + x] + predicted);
        }
    }
    return p;
}

TEST(DrawingRun, Al2SiO5DiagramAsExpected) {
    DrawerRun run("al2sio5");
    ASSERT_EQ(run.exitcode, 0) << slurp(run.work.path() / "screen.out");
    const std::string svg = masked(slurp(run.work.path() / "qv-al.svg"));
    EXPECT_EQ(svg, slurp(cases / "al2sio5" / "expected.svg"));
    // Positions by hand: one information line puts the box at 66 to 526; T 300..800 C spans
    // 60..520 px (0.92 px/C), P 0..10 kbar 526..66 px (46 px/kbar).
    EXPECT_NE(svg.find("<svg viewBox=\"0 0 580 576\""), std::string::npos);
    EXPECT_NE(svg.find("60.00 526.00      60.00 66.00      520.00 66.00      520.00 526.00"),
              std::string::npos);
    // the kyanite field: and-ky from the left edge (300 C, 1.15 kbar) to the triple point
    // (500 C, 3.75 kbar), ky-sill to the right edge (800 C, 9 kbar), then the top corners
    EXPECT_NE(svg.find("<polygon fill=\"rgb(229,229,229)\" points=\"\n      60.00 473.10      "
                       "244.00 353.50      520.00 112.00      520.00 66.00      60.00 66.00      "
                       "60.00 473.10\" />"),
              std::string::npos);
    EXPECT_NE(svg.find("<polyline points=\"\n      244.00 353.50      520.00 457.00\"  />"),
              std::string::npos);
    EXPECT_NE(svg.find("<circle cx=\"244.00\" cy=\"353.50\" r=\"3.00\" />"), std::string::npos);
    const std::string log = slurp(run.work.path() / "qv-log.txt");
    EXPECT_NE(log.find("u1) ky and (sill)  \n  start = i1; end = left edge\n"), std::string::npos);
    EXPECT_NE(log.find("u3) and sill (ky)  \n  start = i1; end = right edge\n"), std::string::npos);
}

TEST(DrawingRun, PictureIsWellFormedXml) {
    ASSERT_TRUE(have("xmllint")) << "xmllint is missing: run tools/install-deps";
    DrawerRun run("al2sio5");
    ASSERT_EQ(run.exitcode, 0);
    EXPECT_EQ(shell("xmllint --noout qv-al.svg"), 0);
}

TEST(DrawingRun, RenderedPicture) {
    ASSERT_TRUE(have("rsvg-convert")) << "rsvg-convert is missing: run tools/install-deps";
    DrawerRun run("al2sio5");
    ASSERT_EQ(run.exitcode, 0);
    ASSERT_EQ(shell("rsvg-convert -o al.png qv-al.svg"), 0);
    const Picture p = readpng(slurp(run.work.path() / "al.png"));
    ASSERT_EQ(p.width, 580);
    ASSERT_EQ(p.height, 576);
    EXPECT_EQ(p.grey(560, 300), 255) << "white page right of the box";
    EXPECT_NEAR(p.grey(106, 250), 229, 2) << "grey kyanite field (350 C, 6 kbar)";
    EXPECT_EQ(p.grey(428, 300), 255) << "white sillimanite field (700 C, 4.9 kbar)";
    EXPECT_LT(p.darkest(60, 300), 128) << "left side of the box";
    EXPECT_LT(p.darkest(382, 405), 128) << "and-sill line halfway to the right edge";
    EXPECT_LT(p.darkest(152, 413), 128) << "ky-and line at 400 C, 2.45 kbar";
}

}  // namespace
}  // namespace qv::test
