// Encodes a 3840x2160 screen-like picture with the program's encoder and with
// libjpeg's own command-line encoder (cjpeg) on the same pixels and settings,
// and prints both times and their ratio from one run.

#include "screentools/areaexport.h"
#include "screentools/jpegencoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
constexpr int kRounds = 7;

// Window-like content: flat panels with frames, gradients, text-like
// stipple and a photo-like noisy region, as a desktop capture holds.
vornik::Bitmap makeScreen()
{
    vornik::Bitmap screen(kWidth, kHeight, 32);
    std::uint32_t state = 12345;
    auto random = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint32_t pixel;
            const int panel = (x / 640) + 6 * (y / 540);
            if (y % 540 < 28) {
                pixel = 0xFF000000u | std::uint32_t(40 + x % 640 * 180 / 640) << 16 | 0x3060A0u;
            } else if (panel % 5 == 3) {
                pixel = 0xFF000000u | (random() & 0xFFFFFF);
            } else if ((y / 14) % 2 == 0 && x % 640 > 20 && x % 640 < 600 && (random() & 3) == 0) {
                pixel = 0xFF202020u;
            } else {
                pixel = panel % 2 ? 0xFFF0F0F0u : 0xFFFFFFFFu;
            }
            if (x % 640 == 0 || y % 540 == 28)
                pixel = 0xFF808080u;
            screen.setPixel32(x, y, pixel);
        }
    }
    return screen;
}

void writePpm(const std::string& path, const vornik::Bitmap& bitmap24)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << bitmap24.width() << ' ' << bitmap24.height() << "\n255\n";
    std::vector<char> row(std::size_t(bitmap24.width()) * 3);
    for (int y = 0; y < bitmap24.height(); ++y) {
        const std::uint8_t* source = bitmap24.scanLine(y);
        for (int x = 0; x < bitmap24.width(); ++x) {
            row[std::size_t(3 * x)] = char(source[3 * x + 2]);
            row[std::size_t(3 * x + 1)] = char(source[3 * x + 1]);
            row[std::size_t(3 * x + 2)] = char(source[3 * x]);
        }
        out.write(row.data(), std::streamsize(row.size()));
    }
}

// Wall time and processor time (user plus system) of one measurement, in
// seconds. Processor time is what the ratios use: the machine is shared, and
// wall time there mostly measures the neighbours.
struct Cost {
    double wall = 0;
    double cpu = 0;
};

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; }

double threadCpu()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Fn>
Cost measure(Fn fn)
{
    const auto start = Clock::now();
    const double cpuStart = threadCpu();
    fn();
    return {std::chrono::duration<double>(Clock::now() - start).count(), threadCpu() - cpuStart};
}

// Runs cjpeg as a user would: the whole command, start-up included.
Cost runCjpeg(const std::string& input, const std::string& output)
{
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execlp("cjpeg", "cjpeg", "-quality", "90", "-baseline", "-dct", "float", "-sample", "2x2,1x1,1x1",
                 "-outfile", output.c_str(), input.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const Cost cost{std::chrono::duration<double>(Clock::now() - start).count(),
                    seconds(usage.ru_utime) + seconds(usage.ru_stime)};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "cjpeg failed (status %d); is libjpeg-turbo-progs installed?\n", status);
        std::exit(1);
    }
    return cost;
}

// The machine is shared, so the fastest of several rounds is the time least
// disturbed by other work; the rounds of both encoders are interleaved.
Cost fastest(const std::vector<Cost>& values)
{
    Cost best = values.front();
    for (const Cost& value : values) {
        best.wall = std::min(best.wall, value.wall);
        best.cpu = std::min(best.cpu, value.cpu);
    }
    return best;
}

std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

int main(int argc, char** argv)
{
    // With --machine the results come as "name value" lines (times in
    // milliseconds) for bench/run-table.sh instead of the report for people.
    const bool machine = argc > 1 && std::strcmp(argv[1], "--machine") == 0;
    const fs::path folder = fs::temp_directory_path() / ("vornik-bench-export-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string bigPpm = (folder / "screen.ppm").string();
    const std::string tinyPpm = (folder / "tiny.ppm").string();
    const std::string cjpegOut = (folder / "cjpeg.jpg").string();

    const vornik::Bitmap screen = makeScreen();
    const vornik::Bitmap area24 = vornik::to24Bit(vornik::copySelectedArea(screen, 0, 0, kWidth, kHeight));
    writePpm(bigPpm, area24);
    writePpm(tinyPpm, vornik::Bitmap(1, 1, 24));

    std::vector<Cost> ours, steps, cjpeg, startup;
    std::vector<std::uint8_t> encoded;
    for (int round = 0; round < kRounds; ++round) {
        ours.push_back(measure([&] { encoded = vornik::encodeJpeg(area24); }));
        steps.push_back(measure([&] {
            const auto whole =
                vornik::encodeJpeg(vornik::to24Bit(vornik::copySelectedArea(screen, kWidth, kHeight, 0, 0)));
        }));
        cjpeg.push_back(runCjpeg(bigPpm, cjpegOut));
        startup.push_back(runCjpeg(tinyPpm, (folder / "tiny.jpg").string()));
    }
    const bool sameBytes = encoded == readBytes(cjpegOut);
    fs::remove_all(folder);

    const Cost oursCost = fastest(ours), stepsCost = fastest(steps), cjpegCost = fastest(cjpeg),
               startupCost = fastest(startup);
    const Cost cjpegWork{cjpegCost.wall - startupCost.wall, cjpegCost.cpu - startupCost.cpu};
    if (machine) {
        std::printf("size %dx%d\nrounds %d\nencoded_bytes %zu\nidentical_to_cjpeg %d\n", kWidth, kHeight, kRounds,
                    encoded.size(), sameBytes ? 1 : 0);
        const std::pair<const char*, Cost> costs[] = {
            {"ours", oursCost}, {"steps", stepsCost}, {"cjpeg", cjpegCost}, {"cjpeg_startup", startupCost},
            {"cjpeg_work", cjpegWork}};
        for (const auto& [name, cost] : costs)
            std::printf("%s_cpu_ms %.4f\n%s_wall_ms %.4f\n", name, cost.cpu * 1e3, name, cost.wall * 1e3);
        return 0;
    }
    std::printf("JPEG export of a %dx%d area, quality 90 baseline, float DCT, 2x2/1x1/1x1\n", kWidth, kHeight);
    std::printf("fastest of %d interleaved rounds; processor time is user + system\n\n", kRounds);
    std::printf("                                                 processor      wall\n");
    auto line = [](const char* what, const Cost& cost) {
        std::printf("  %-45s %7.1f ms %7.1f ms\n", what, cost.cpu * 1e3, cost.wall * 1e3);
    };
    line("encodeJpeg (24-bit bitmap to memory)", oursCost);
    line("copy + 24-bit conversion + encodeJpeg", stepsCost);
    line("cjpeg command, total (reads PPM, writes file)", cjpegCost);
    line("cjpeg command on a 1x1 picture (start-up)", startupCost);
    line("cjpeg minus start-up", cjpegWork);
    std::printf("\n  encoded size %zu bytes; identical to cjpeg's output: %s\n\n", encoded.size(),
                sameBytes ? "yes" : "no");
    std::printf("ratio encodeJpeg / cjpeg total (processor):          %.3f  (target <= 1.1)\n",
                oursCost.cpu / cjpegCost.cpu);
    std::printf("ratio encodeJpeg / (cjpeg - start-up) (processor):   %.3f  (target <= 1.1)\n",
                oursCost.cpu / cjpegWork.cpu);
    std::printf("ratio encodeJpeg / cjpeg total (wall):               %.3f\n", oursCost.wall / cjpegCost.wall);
    std::printf("ratio whole export steps / cjpeg total (processor):  %.3f\n", stepsCost.cpu / cjpegCost.cpu);
    return 0;
}
