#include "toolkit/DataSource.h"

#include "toolkit/DataSet.h"

#include <algorithm>

namespace zen {

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
    for (TDataLink* link : std::vector<TDataLink*>(links_)) {
        link->SetDataSource(nullptr);
    }
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) {
        return;
    }
    if (dataSet_) {
        dataSet_->RemoveDataSource(this);
        dataSet_->RemoveFreeNotification(this);
        RemoveFreeNotification(dataSet_);
    }
    dataSet_ = dataSet;
    if (dataSet_) {
        dataSet_->AddDataSource(this);
        FreeNotification(dataSet_);
    }
    NotifyState();
}

void TDataSource::SetEnabled(bool on) {
    if (enabled_ != on) {
        enabled_ = on;
        NotifyState();
    }
}

bool TDataSource::IsLinkedTo(const TDataSet* dataSet) const {
    const TDataSource* source = this;
    // A chain longer than this is itself a cycle that someone else made.
    for (int depth = 0; source && depth < 1000; ++depth) {
        if (!source->dataSet_) {
            return false;
        }
        if (source->dataSet_ == dataSet) {
            return true;
        }
        source = source->dataSet_->GetDataSource();
    }
    return source != nullptr;
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == dataSet_) {
        SetDataSet(nullptr);
    }
}

void TDataSource::NotifyState() {
    TDataSetState state = (enabled_ && dataSet_) ? dataSet_->State() : dsInactive;
    if (state == state_) {
        return;
    }
    state_ = state;
    for (TDataLink* link : std::vector<TDataLink*>(links_)) {
        link->UpdateState();
    }
    if (OnStateChange) {
        OnStateChange(*this);
    }
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        NotifyState();
        return;
    }
    if (!enabled_ || state_ == dsInactive) {
        return;
    }
    NotifyLinks(event, info);
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (OnDataChange) {
            OnDataChange(*this, reinterpret_cast<TField*>(info));
        }
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange) {
            OnDataChange(*this, nullptr);
        }
        break;
    case deUpdateRecord:
        if (OnUpdateData) {
            OnUpdateData(*this);
        }
        break;
    default:
        break;
    }
}

void TDataSource::NotifyLinks(TDataEvent event, intptr_t info) {
    for (TDataLink* link : std::vector<TDataLink*>(links_)) {
        link->DataEvent(event, info);
    }
}

TDataLink::~TDataLink() {
    SetDataSource(nullptr);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == dataSource_) {
        return;
    }
    if (dataSource_) {
        std::erase(dataSource_->links_, this);
    }
    dataSource_ = source;
    if (dataSource_) {
        dataSource_->links_.push_back(this);
    }
    UpdateState();
}

TDataSet* TDataLink::DataSet() const {
    return dataSource_ ? dataSource_->DataSet() : nullptr;
}

void TDataLink::UpdateState() {
    bool active = dataSource_ && dataSource_->State() != dsInactive;
    if (active != active_) {
        active_ = active;
        ActiveChanged();
    }
    TDataSetState st = dataSource_ ? dataSource_->State() : dsInactive;
    bool editing = active_ && (st == dsEdit || st == dsInsert || st == dsSetKey);
    if (editing != editing_) {
        editing_ = editing;
        EditingChanged();
    }
}

void TDataLink::DataSetScrolled(int distance) {
    (void)distance;
    DataSetChanged();
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange:
        DataSetChanged();
        break;
    case deDataSetScroll:
        DataSetScrolled(static_cast<int>(info));
        break;
    case deLayoutChange:
        LayoutChanged();
        break;
    case deUpdateRecord:
        UpdateData();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(reinterpret_cast<TField*>(info));
        break;
    default:
        break;
    }
}

} // namespace zen
