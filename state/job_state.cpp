#include "state/job_state.h"

namespace {

// Where a value lives: its registry name and the one field that holds it.
struct Field {
    JobValue value;
    const char* name;
    int32_t JobState::*signedField;    // REG_DWORD, read and written as a signed number
    uint32_t JobState::*dwordField;    // REG_DWORD
    char (JobState::*textField)[260];  // REG_SZ
};

// In the order of JobValue.
constexpr Field kFields[] = {
    {JobValue::ByteOrder, value_names::kFileType, &JobState::byteOrder, nullptr, nullptr},
    {JobValue::Compression, value_names::kCompression, &JobState::compression, nullptr, nullptr},
    {JobValue::PageCount, value_names::kPageCount, nullptr, &JobState::pageCount, nullptr},
    {JobValue::NextDirectoryField, value_names::kNextPoint, nullptr, &JobState::nextDirectoryField, nullptr},
    {JobValue::PageFilePath, value_names::kTempFile, nullptr, nullptr, &JobState::pageFilePath},
    {JobValue::ImageFormat, value_names::kImageFormat, &JobState::imageFormat, nullptr, nullptr},
    {JobValue::BandCount, value_names::kLoopCount, nullptr, &JobState::bandCount, nullptr},
    {JobValue::CodedStripBytes, value_names::kImageSize, nullptr, &JobState::codedStripBytes, nullptr},
    {JobValue::DirectoryEntryCount, value_names::kDirectoryCount, nullptr, &JobState::directoryEntryCount, nullptr},
    {JobValue::OutputEndOffset, value_names::kImageOffset, nullptr, &JobState::outputEndOffset, nullptr},
    {JobValue::ColorCompression, value_names::kColorCompression, &JobState::colorCompression, nullptr, nullptr},
    {JobValue::AppendBase, value_names::kAppendBase, nullptr, &JobState::appendBase, nullptr},
    {JobValue::AppendFile, value_names::kAppendFile, nullptr, nullptr, &JobState::appendFile},
    {JobValue::PageFileIdentity, value_names::kTempFileIdentity, nullptr, nullptr, &JobState::pageFileIdentity},
    {JobValue::StagedFilePath, value_names::kStagedFile, nullptr, nullptr, &JobState::stagedFilePath},
    {JobValue::StagedFileIdentity, value_names::kStagedFileIdentity, nullptr, nullptr, &JobState::stagedFileIdentity},
    {JobValue::JobOwner, value_names::kJobOwner, nullptr, nullptr, &JobState::jobOwner},
    {JobValue::JpegQuality, value_names::kJpegQuality, nullptr, &JobState::jpegQuality, nullptr},
};

constexpr bool InEnumOrder() {
    for (size_t i = 0; i < sizeof(kFields) / sizeof(kFields[0]); ++i) {
        if (static_cast<size_t>(kFields[i].value) != i) return false;
    }
    return true;
}
static_assert(InEnumOrder(), "kFields is indexed by JobValue");

const Field& FieldOf(JobValue value) { return kFields[static_cast<size_t>(value)]; }

}  // namespace

bool JobState::Load(JobValue value) {
    const Field& field = FieldOf(value);
    if (field.signedField != nullptr) return store_->ReadInt(field.name, &(this->*field.signedField));
    if (field.dwordField != nullptr) return store_->ReadDword(field.name, &(this->*field.dwordField));
    return store_->ReadString(field.name, this->*field.textField);
}

bool JobState::Put(JobValue value) const {
    const Field& field = FieldOf(value);
    if (field.signedField != nullptr)
        return store_->PutDword(field.name, static_cast<uint32_t>(this->*field.signedField));
    if (field.dwordField != nullptr) return store_->PutDword(field.name, this->*field.dwordField);
    return store_->PutString(field.name, this->*field.textField);
}

bool JobState::Remove(JobValue value) const { return store_->RemoveValue(FieldOf(value).name); }
