// Whole scan jobs driven the way a host drives them, with a record of which
// command failed, and the checks that every failure must pass: the output
// holds exactly the committed pages (decoded by libtiff), nothing of the
// page is left in the temp directory, and the file can still be continued.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "entry/status_message.h"
#include "pages/page_job.h"
#include "platform/testing.h"
#include "reliability/tiff_pages.h"
#include "ui/resource_strings.h"

namespace reliability {

using page_test::HostPage;
using page_test::JobOutcome;
using page_test::MakePage;
using page_test::PageShape;

struct JobSpec {
    const char* name;
    int32_t byteOrder;
    int32_t compression;
    std::vector<PageShape> pages;
    size_t existing = 0;  // pages already in the file, written by an earlier process
    int32_t colorCompression = CompressionNone;
    uint32_t fileKind = FileKindClassic;  // "BigTIFF"
};

inline void PrintTo(const JobSpec& job, std::ostream* out) { *out << job.name; }

inline std::vector<HostPage> MakePages(const JobSpec& job, uint32_t seed) {
    std::vector<HostPage> pages;
    for (const PageShape& shape : job.pages) pages.push_back(MakePage(shape, seed++));
    return pages;
}

inline size_t FilesIn(const std::string& directory) {
    namespace fs = std::filesystem;
    return static_cast<size_t>(std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

class ReliabilityTest : public page_test::PageJobTest {
protected:
    // Pages [first, end) as one job, not ended; the first page continues
    // the file when `continueFirst` is set.
    JobOutcome RunPages(const std::vector<HostPage>& pages, size_t first, bool continueFirst, size_t end = SIZE_MAX) {
        JobOutcome total;
        for (size_t i = first; i < std::min(end, pages.size()); ++i) {
            JobOutcome one = RunOnePage(pages[i], i > first || continueFirst);
            total.committed += one.committed;
            if (one.status != 0) {
                total.status = one.status;
                total.command = one.command;
                break;
            }
        }
        return total;
    }

    // A new process's view: no output file, the plug-in loaded afresh, no
    // faults; the job's settings in the registry.
    void StartAfresh(const JobSpec& job) {
        std::filesystem::remove(output_path_);
        PluginProcessDetach();
        platform::testing::Reset();
        PluginProcessAttach(GetModuleHandleA(nullptr));
        UseSettings(job.byteOrder, job.compression, job.colorCompression);
        if (job.fileKind != FileKindClassic) WriteValue("BigTIFF", job.fileKind);
    }

    // A new process's view of a file that an earlier one wrote: the job's
    // existing pages committed and the job ended, the plug-in loaded afresh.
    void StartWithExistingPages(const JobSpec& job, const std::vector<HostPage>& pages) {
        StartAfresh(job);
        if (job.existing == 0) return;
        ASSERT_EQ(RunPages(pages, 0, false, job.existing).status, 0);
        ASSERT_EQ(Run(CmdEndJob), 0);
        ReloadPlugin();
        platform::testing::Reset();
    }

    void ReloadPlugin() {
        PluginProcessDetach();
        PluginProcessAttach(GetModuleHandleA(nullptr));
    }

    // The output holds exactly `count` of the pages, pixel for pixel, and
    // libtiff reads it without a complaint.
    void ExpectOutputHolds(const std::vector<HostPage>& pages, size_t count) {
        if (count == 0) {
            EXPECT_FALSE(std::filesystem::exists(output_path_)) << "a file with no committed page";
            return;
        }
        TiffReading reading = ReadTiffPages(output_path_);
        ASSERT_TRUE(reading.opened) << reading.complaints;
        EXPECT_EQ(reading.complaints, "");
        ASSERT_EQ(reading.pages.size(), count);
        for (size_t i = 0; i < count; ++i) {
            EXPECT_EQ(reading.pages[i].width, pages[i].shape.width) << "page " << i;
            EXPECT_EQ(reading.pages[i].height, pages[i].shape.height) << "page " << i;
            EXPECT_TRUE(reading.pages[i].rgb16 == pages[i].expectedRgb16) << "pixels of page " << i;
        }
    }

    // A JPEG job's grey and colour pages are lossy: once a clean run has
    // written them, near their source (random pixels, as these pages are,
    // differ by a quarter of the range on average under JPEG, by a third
    // from other random pixels), what libtiff decodes from that run is what every
    // later run must write, pixel for pixel.
    void AdoptLossyPages(const JobSpec& job, std::vector<HostPage>& pages) {
        if (job.colorCompression != CompressionJpeg) return;
        TiffReading reading = ReadTiffPages(output_path_);
        ASSERT_EQ(reading.pages.size(), pages.size()) << reading.complaints;
        for (size_t i = 0; i < pages.size(); ++i) {
            const int32_t format = pages[i].shape.format;
            if (format != FormatRgb24 && format != FormatGray8) continue;
            const auto& got = reading.pages[i].rgb16;
            const auto& source = pages[i].expectedRgb16;
            ASSERT_EQ(got.size(), source.size()) << "page " << i;
            uint64_t difference = 0;
            for (size_t k = 0; k < got.size(); k += 2) difference += std::abs(got[k] - source[k]);  // high bytes
            EXPECT_LE(difference, got.size() / 2 * 64) << "JPEG page " << i << " far from its source";
            pages[i].expectedRgb16 = got;
        }
    }

    // The message box of a status, if it has one, was shown once, with its text.
    static void ExpectMessageFor(uint16_t status, FailureNote note = FailureNote::None) {
        auto& boxes = platform::testing::MessageBoxes();
        UINT id = StatusMessageId(status, false, note);
        if (id == 0) {
            EXPECT_TRUE(boxes.empty()) << "a box for status " << status;
            return;
        }
        char text[128] = {};
        LoadResourceString(id, text, sizeof(text));
        ASSERT_EQ(boxes.size(), 1u) << "status " << status;
        if (status == StatusDiskFull) {
            // Either volume's text, up to the volume it names.
            char temp[128] = {};
            LoadResourceString(StatusMessageId(status, true), temp, sizeof(temp));
            auto lead = [](const char* t) { return std::string(t).substr(0, std::string(t).find("%s")); };
            EXPECT_TRUE(boxes[0].text.rfind(lead(text), 0) == 0 || boxes[0].text.rfind(lead(temp), 0) == 0)
                << boxes[0].text;
        } else {
            EXPECT_EQ(boxes[0].text, text);
        }
        EXPECT_FALSE(boxes[0].caption.empty());
    }

    // Nothing of the job is left beside the output or in the temp directory.
    void ExpectNoLeftovers() {
        EXPECT_EQ(FilesIn(temp_.path()), 0u) << "a page file was left in the temp directory";
        size_t outputs = std::filesystem::exists(output_path_) ? 1 : 0;
        EXPECT_EQ(FilesIn(output_.path()), outputs) << "a stray file beside the output";
    }
};

}  // namespace reliability
