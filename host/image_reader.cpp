#include "host/image_reader.h"

std::unique_ptr<ImageReader> OpenImageFile(const std::string& path) {
    auto file = std::make_unique<InputFile>(path);
    if (file->StartsWith("\x89PNG\r\n\x1a\n", 8)) {
        return MakePngReader(std::move(file));
    }
    for (char type = '1'; type <= '6'; ++type) {
        const char magic[2] = {'P', type};
        if (file->StartsWith(magic, 2)) {
            return MakePnmReader(std::move(file));
        }
    }
    throw InputError(file->Path() + ": not a PNM (P1-P6) or PNG file");
}
