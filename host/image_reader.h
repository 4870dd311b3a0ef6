// Reading source images from disk, PNM (P1-P6) and PNG: the headers of a
// file's images one after another, and the rows of each image in turn, so
// that no more than a row of the source is held at a time.
#pragma once

#include <memory>
#include <string>

#include "host/format_mapping.h"
#include "host/input_file.h"
#include "host/page_rows.h"

class ImageReader : public PageRows {
public:
    // Reads the next image's header; false when the file holds no more.
    // Throws InputError on a bad header or an image the host does not take.
    virtual bool NextImage(ImageInfo& image) = 0;

    // Passes over the current image's pixels without decoding them, to reach
    // the next header; false when the file ends within them.
    virtual bool SkipPixels() = 0;

    // Lays out the current image's rows for `page` from now on: ReadRow
    // delivers them top to bottom.
    virtual void StartRows(const ScanPage& page) = 0;
};

// Picks the reader by the file's first bytes. Throws InputError.
std::unique_ptr<ImageReader> OpenImageFile(const std::string& path);

// Every image in a PNM file (a file may hold several, one after another).
std::unique_ptr<ImageReader> MakePnmReader(std::unique_ptr<InputFile> file);

// The image in a PNG file. Throws InputError where PNG is not built in.
std::unique_ptr<ImageReader> MakePngReader(std::unique_ptr<InputFile> file);
