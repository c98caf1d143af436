#include "dataset/wwOEDataSet.h"

#include "toolkit/Exceptions.h"
#include "toolkit/PictureMask.h"
#include "toolkit/Text.h"

namespace zen {

TwwOEDataSet::TwwOEDataSet(TComponent* owner) : TOEQuery(owner) {}

std::string TwwOEDataSet::DatabaseName() const {
    return Hdbc() ? Hdbc()->Name() : std::string();
}

void TwwOEDataSet::SetDatabaseName(const std::string& name) {
    if (!Owner()) {
        return;
    }
    if (auto* dbc = dynamic_cast<THdbc*>(Owner()->FindComponent(name))) {
        SetHdbc(dbc);
    }
}

std::string TwwOEDataSet::MaskOf(const std::string& fieldName) const {
    for (int i = 0; i < pictureMasks_.Count(); ++i) {
        const std::string& line = pictureMasks_[i];
        size_t tab = line.find('\t');
        if (tab == std::string::npos || !SameName(line.substr(0, tab), fieldName)) {
            continue;
        }
        size_t end = line.find('\t', tab + 1);
        return line.substr(tab + 1, end == std::string::npos ? end : end - tab - 1);
    }
    return {};
}

void TwwOEDataSet::DoBeforePost() {
    TOEQuery::DoBeforePost();
    if (!validateWithMask_ || pictureMasks_.Count() == 0) {
        return;
    }
    for (TField* field : Fields()) {
        std::string mask = MaskOf(field->FieldName());
        // A read-only field is not the operator's to correct: it never stops a post.
        if (mask.empty() || field->ReadOnly() || MatchesPictureMask(field->AsString(), mask)) {
            continue;
        }
        field->FocusControl();
        if (OnInvalidValue) {
            OnInvalidValue(*this, field);
        }
        throw EDatabaseError(kPictureInvalidMessage + field->DisplayName());
    }
}

} // namespace zen
