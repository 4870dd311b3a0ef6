#include "entry/multi_tiff_plugin.h"

#include <cstring>

#include "entry/object_allocation.h"
#include "resources/resource_ids.h"
#include "tiff/byte_order.h"
#include "tiff/image_format.h"
#include "ui/about_dialog.h"
#include "ui/details_dialog.h"
#include "ui/resource_strings.h"
#include "ui/settings_text.h"

namespace {

constexpr int32_t kDefaultByteOrder = ByteOrderIntel;
constexpr int32_t kDefaultCompression = CompressionNone;

}  // namespace

PluginStatus MultiTiffPlugin::Initialize() {
    PluginStatus status = OpenJobState();
    if (status != StatusOk) return status;
    if (!state_.ReadInt(value_names::kFileType, &byteOrder_)) byteOrder_ = kDefaultByteOrder;
    if (!state_.ReadInt(value_names::kCompression, &compression_)) compression_ = kDefaultCompression;

    LoadResourceString(IDS_FORMAT_NAME, request_->formatName, sizeof(request_->formatName));
    LoadResourceString(IDS_FILE_EXTENSION, target_->extension, sizeof(target_->extension));
    LoadResourceString(IDS_FORMAT_COMMENT, request_->formatComment, sizeof(request_->formatComment));
    ComposeSettingsText();

    request_->filledFlag = 1;
    target_->multiPage = multiPage_;
    target_->auxFlag = 0;
    return StatusOk;
}

PluginStatus MultiTiffPlugin::ShowSettings() {
    PluginStatus status = OpenJobState();
    if (status != StatusOk) return status;
    DetailsDialog* dialog = NewObject<DetailsDialog>(static_cast<HWND>(request_->parentWindow), &state_);
    if (dialog == nullptr) return StatusNoMemory;
    dialog->Run();  // confirmed or not, the registry now holds the settings to show
    delete dialog;

    state_.ReadInt(value_names::kFileType, &byteOrder_);
    state_.ReadInt(value_names::kCompression, &compression_);
    ComposeSettingsText();
    return StatusOk;
}

PluginStatus MultiTiffPlugin::ShowAbout() {
    SetStateLocation();
    AboutDialog* dialog = NewObject<AboutDialog>(static_cast<HWND>(request_->parentWindow), &state_, IDD_ABOUT_NAME);
    if (dialog == nullptr) return StatusNoMemory;
    dialog->Run();
    delete dialog;
    return StatusOk;
}

void MultiTiffPlugin::ComposeSettingsText() {
    ::ComposeSettingsText(request_->settingsText, byteOrder_, compression_);
}
