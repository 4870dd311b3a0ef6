// What the user sees while pages are written: on a terminal a line that
// follows the bands of each page, elsewhere one line per finished page.
#pragma once

#include <cstdint>
#include <string>

class Progress {
public:
    // quiet: nothing at all. The terminal form is chosen when stdout is a tty.
    explicit Progress(bool quiet);

    void Info(const std::string& line);
    // pageCount 0: not known in advance.
    void PageStarted(uint32_t page, uint32_t pageCount, const std::string& description);
    // bandCount and rowsTotal 0: a page whose length is not known until it ends.
    void BandWritten(uint32_t band, uint32_t bandCount, uint32_t rowsDone, uint32_t rowsTotal);
    void PageFinished();
    // Ends an unfinished terminal line before an error is printed.
    void Interrupt();

private:
    void ShowLine(const std::string& bands, uint32_t rowsDone, uint32_t rowsTotal);

    bool quiet_;
    bool terminal_;
    bool lineOpen_ = false;
    std::string current_;
};
