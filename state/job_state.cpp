#include "state/job_state.h"

namespace {

// Where a value lives: its registry name and the one field that holds it.
struct Field {
    JobValue value;
    const char* name;
    int32_t JobState::*signedField;    // REG_DWORD, read and written as a signed number
    uint32_t JobState::*dwordField;    // REG_DWORD
    char (JobState::*textField)[260];  // REG_SZ
    uint64_t JobState::*wideField;     // REG_DWORD, or REG_QWORD past 32 bits
};

// In the order of JobValue.
constexpr Field kFields[] = {
    {JobValue::ByteOrder, value_names::kFileType, &JobState::byteOrder, nullptr, nullptr, nullptr},
    {JobValue::Compression, value_names::kCompression, &JobState::compression, nullptr, nullptr, nullptr},
    {JobValue::PageCount, value_names::kPageCount, nullptr, &JobState::pageCount, nullptr, nullptr},
    {JobValue::NextDirectoryField, value_names::kNextPoint, nullptr, nullptr, nullptr, &JobState::nextDirectoryField},
    {JobValue::PageFilePath, value_names::kTempFile, nullptr, nullptr, &JobState::pageFilePath, nullptr},
    {JobValue::ImageFormat, value_names::kImageFormat, &JobState::imageFormat, nullptr, nullptr, nullptr},
    {JobValue::BandCount, value_names::kLoopCount, nullptr, &JobState::bandCount, nullptr, nullptr},
    {JobValue::CodedStripBytes, value_names::kImageSize, nullptr, &JobState::codedStripBytes, nullptr, nullptr},
    {JobValue::DirectoryEntryCount, value_names::kDirectoryCount, nullptr, &JobState::directoryEntryCount, nullptr,
     nullptr},
    {JobValue::OutputEndOffset, value_names::kImageOffset, nullptr, nullptr, nullptr, &JobState::outputEndOffset},
    {JobValue::ColorCompression, value_names::kColorCompression, &JobState::colorCompression, nullptr, nullptr,
     nullptr},
    {JobValue::AppendBase, value_names::kAppendBase, nullptr, nullptr, nullptr, &JobState::appendBase},
    {JobValue::AppendFile, value_names::kAppendFile, nullptr, nullptr, &JobState::appendFile, nullptr},
    {JobValue::PageFileIdentity, value_names::kTempFileIdentity, nullptr, nullptr, &JobState::pageFileIdentity,
     nullptr},
    {JobValue::StagedFilePath, value_names::kStagedFile, nullptr, nullptr, &JobState::stagedFilePath, nullptr},
    {JobValue::StagedFileIdentity, value_names::kStagedFileIdentity, nullptr, nullptr, &JobState::stagedFileIdentity,
     nullptr},
    {JobValue::JobOwner, value_names::kJobOwner, nullptr, nullptr, &JobState::jobOwner, nullptr},
    {JobValue::JpegQuality, value_names::kJpegQuality, nullptr, &JobState::jpegQuality, nullptr, nullptr},
    {JobValue::FileKind, value_names::kBigTiff, nullptr, &JobState::fileKind, nullptr, nullptr},
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
    if (field.wideField != nullptr) return store_->ReadNumber(field.name, &(this->*field.wideField));
    return store_->ReadString(field.name, this->*field.textField);
}

bool JobState::Put(JobValue value) const {
    const Field& field = FieldOf(value);
    if (field.signedField != nullptr)
        return store_->PutDword(field.name, static_cast<uint32_t>(this->*field.signedField));
    if (field.dwordField != nullptr) return store_->PutDword(field.name, this->*field.dwordField);
    if (field.wideField != nullptr) return store_->PutNumber(field.name, this->*field.wideField);
    return store_->PutString(field.name, this->*field.textField);
}

bool JobState::Remove(JobValue value) const { return store_->RemoveValue(FieldOf(value).name); }
