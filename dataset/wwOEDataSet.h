#pragma once
// The dataset class of every record set of the program: a query with what the toolkit's
// grid and edit controls read from a dataset (per-field control types and picture
// masks), the name of its connection component, and a picture-mask check of every field
// before each post.

#include "dataset/OEQuery.h"
#include "toolkit/Strings.h"

#include <functional>
#include <string>
#include <vector>

namespace zen {

class TwwOEDataSet;

using TwwInvalidValueEvent = std::function<void(TwwOEDataSet& dataSet, TField* field)>;

class TwwOEDataSet : public TOEQuery {
public:
    explicit TwwOEDataSet(TComponent* owner = nullptr);
    const char* ClassName() const noexcept override { return "TwwOEDataSet"; }

    // One line per field, for the controls to choose an editor; the dataset only keeps it.
    TStringList& ControlType() { return controlType_; }
    void SetControlType(const std::vector<std::string>& lines) { controlType_.Assign(lines); }
    // Lines "field<TAB>mask[<TAB>flags...]"; the flags are the controls' business.
    TStringList& PictureMasks() { return pictureMasks_; }
    void SetPictureMasks(const std::vector<std::string>& lines) { pictureMasks_.Assign(lines); }
    bool ValidateWithMask() const { return validateWithMask_; }
    void SetValidateWithMask(bool on) { validateWithMask_ = on; }
    // The component name of the connection ("" without one). Setting it takes the
    // owner's component of that name when it is a connection; otherwise nothing changes.
    std::string DatabaseName() const;
    void SetDatabaseName(const std::string& name);

    // Called for a field that fails its mask, before the post is refused.
    TwwInvalidValueEvent OnInvalidValue;

protected:
    void DoBeforePost() override;

private:
    // The mask of a field ("" when it has none).
    std::string MaskOf(const std::string& fieldName) const;

    TStringList controlType_;
    TStringList pictureMasks_;
    bool validateWithMask_ = true;
};

} // namespace zen
