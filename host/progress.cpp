#include "host/progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define ZEDUZ_ISATTY _isatty
#define ZEDUZ_FILENO _fileno
#else
#include <unistd.h>
#define ZEDUZ_ISATTY isatty
#define ZEDUZ_FILENO fileno
#endif

Progress::Progress(bool quiet) : quiet_(quiet), terminal_(ZEDUZ_ISATTY(ZEDUZ_FILENO(stdout)) != 0) {}

void Progress::Info(const std::string& line) {
    if (!quiet_) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
}

void Progress::PageStarted(uint32_t page, uint32_t pageCount, const std::string& description) {
    // A scanner's feeder does not tell how many sheets it holds.
    const std::string count = pageCount == 0 ? "" : "/" + std::to_string(pageCount);
    current_ = "page " + std::to_string(page) + count + ": " + description;
    if (!quiet_ && terminal_) {
        ShowLine("", 0, 1);
    }
}

void Progress::BandWritten(uint32_t band, uint32_t bandCount, uint32_t rowsDone, uint32_t rowsTotal) {
    if (quiet_ || !terminal_) {
        return;
    }
    if (bandCount == 0) {
        // A page whose length shows only at its end: the rows so far.
        std::printf("\r\033[K%s  band %u, %u rows", current_.c_str(), band, rowsDone);
        std::fflush(stdout);
        lineOpen_ = true;
        return;
    }
    ShowLine("band " + std::to_string(band) + "/" + std::to_string(bandCount), rowsDone, rowsTotal);
}

void Progress::PageFinished() {
    if (quiet_) {
        return;
    }
    if (terminal_) {
        std::printf("\r\033[K%s done\n", current_.c_str());
    } else {
        std::printf("%s done\n", current_.c_str());
    }
    lineOpen_ = false;
    std::fflush(stdout);
}

void Progress::Interrupt() {
    if (lineOpen_) {
        std::printf("\n");
        std::fflush(stdout);
        lineOpen_ = false;
    }
}

void Progress::ShowLine(const std::string& bands, uint32_t rowsDone, uint32_t rowsTotal) {
    const unsigned percent = rowsTotal == 0 ? 100u : static_cast<unsigned>(100ull * rowsDone / rowsTotal);
    std::printf("\r\033[K%s  %s %3u%%", current_.c_str(), bands.c_str(), percent);
    std::fflush(stdout);
    lineOpen_ = true;
}
