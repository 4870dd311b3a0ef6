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

PluginStatus MultiTiffPlugin::Initialize() {
    PluginStatus status = OpenJobState();
    if (status != StatusOk) return status;
    // Settings never stored are the defaults.
    job_.byteOrder = kDefaultByteOrder;
    job_.compression = kDefaultCompression;
    job_.colorCompression = kDefaultColorCompression;
    job_.Load(job_values::kSettings);

    LoadResourceString(IDS_FORMAT_NAME, request_->formatName, sizeof(request_->formatName));
    LoadResourceString(IDS_FILE_EXTENSION, target_->extension, sizeof(target_->extension));
    LoadResourceString(IDS_FORMAT_COMMENT, request_->formatComment, sizeof(request_->formatComment));
    ComposeSettingsText();

    request_->filledFlag = 1;
    target_->multiPage = 1;  // every file holds a document of many pages
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

    job_.Load(job_values::kSettings);
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
    ::ComposeSettingsText(request_->settingsText, job_.byteOrder, job_.compression, job_.colorCompression);
}
