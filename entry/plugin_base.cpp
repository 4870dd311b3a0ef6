#include "entry/plugin_base.h"

PluginBase::~PluginBase() {
    request_ = nullptr;
    target_ = nullptr;
    image_ = nullptr;
}

void PluginBase::BindRequest(PluginRequest* request) {
    request_ = request;
    target_ = request != nullptr ? request->target : nullptr;
    image_ = target_ != nullptr ? target_->image : nullptr;
}

void PluginBase::SetStateLocation() {
    state_.SetLocation(request_->stateKey.stateKeyPath, static_cast<HKEY>(request_->stateKey.stateRoot),
                       value_names::kSubkey);
}

PluginStatus PluginBase::OpenJobState() {
    SetStateLocation();
    return state_.Usable() ? StatusOk : StatusStateUnavailable;
}
