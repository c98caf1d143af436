// Data events: telling data sources of changes, holding them back (DisableControls), and
// handing exceptions no caller can take to the application's handler.

#include "toolkit/DataSet.h"

#include <cstdio>
#include <utility>

namespace zen {

namespace {

TApplicationExceptionHandler& AppHandler() {
    static TApplicationExceptionHandler handler;
    return handler;
}

} // namespace

void SetApplicationExceptionHandler(TApplicationExceptionHandler handler) {
    AppHandler() = std::move(handler);
}

void HandleApplicationException(const std::exception& e) {
    if (AppHandler()) {
        AppHandler()(e);
    } else if (!dynamic_cast<const EAbort*>(&e)) {
        std::fprintf(stderr, "%s: %s\n", ExceptionClassName(e), e.what());
    }
}

// --- Data events -----------------------------------------------------------------------

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deFieldChange) {
        auto* field = reinterpret_cast<TField*>(info);
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) {
            modified_ = true;
        }
        if (state_ != dsSetKey) {
            if (autoCalcFields_ && field->FieldKind() == fkData &&
                (state_ == dsEdit || state_ == dsInsert) && buffers_[0]) {
                GetCalcFields(buffers_[0]);
            }
            field->Change();
        }
    }
    if (disableCount_ == 0) {
        for (TDataSource* source : std::vector<TDataSource*>(dataSources_)) {
            source->DataEvent(event, info);
        }
    } else if ((event == deUpdateState && state_ == dsInactive) || event == deLayoutChange) {
        enableEvent_ = deLayoutChange;
    }
}

void TDataSet::DisableControls() {
    if (disableCount_ == 0) {
        disabledState_ = state_;
        enableEvent_ = deDataSetChange;
    }
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) {
        return;
    }
    if (--disableCount_ == 0) {
        if (disabledState_ != state_) {
            DataEvent(deUpdateState, 0);
        }
        if (disabledState_ != dsInactive && state_ != dsInactive) {
            DataEvent(enableEvent_, 0);
        }
    }
}

void TDataSet::AddDataSource(TDataSource* source) {
    dataSources_.push_back(source);
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    std::erase(dataSources_, source);
}

void TDataSet::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
}

void TDataSet::InternalHandleException() {
    try {
        throw;
    } catch (const std::exception& e) {
        HandleApplicationException(e);
    } catch (...) {
        HandleApplicationException(Exception("Unknown exception"));
    }
}

} // namespace zen
