#pragma once
// The parameters of a dataset's statement: what the driver or the catalog said about
// each, the memory each is bound from, binding before an execution and reading output
// values back after it.

#include "odbc/Hstmt.h"
#include "toolkit/Params.h"
#include "toolkit/StoredForm.h"
#include "toolkit/Stream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zen {

// What the driver (SQLDescribeParam) or the catalog said about one parameter.
struct TOEDefRec {
    std::string name;
    bool required = false; // described as not nullable
    TFieldType fieldType = ftUnknown;
    int16_t decimalDigits = 0;
    uint32_t columnSize = 0;
};

// The memory one parameter is bound from; texts and bytes get room for the longer of
// their described size and their value, so that neither the value nor an output the
// driver writes back can run past it.
struct TOEParamRec {
    std::string name;
    TFieldType dataType = ftUnknown;
    std::vector<char> buffer;
    std::unique_ptr<TMemoryStream> stream; // ftBlob, ftMemo
};

class TOEParams : public TParams {
public:
    const char* ClassName() const noexcept override { return "TOEParams"; }
    // Parameters, bind records and descriptions.
    void Clear() override;

    // The stored property "Params", which a form may hold but which is never written: a
    // list of a version string and a list of entries, each name, parameter type, data
    // type, a value of the kind the data type asks for (none for types without one),
    // bound flag, null flag (true: no value) and one unused integer. Replaces every
    // parameter; EReadError on a damaged form, which then leaves no parameters.
    void ReadStoredForm(const TStoredValue& form);

    void AddDescription(TOEDefRec def);
    // Drops the description of that name.
    void RemoveDescription(const std::string& name);
    // By name, case-insensitively, blanks round it ignored; nullptr when undescribed.
    const TOEDefRec* FindDescription(const std::string& name) const;

    // Gives every parameter that the statement's text names to the statement, by name or
    // by position; a parameter the dataset does not have binds NULL. Every output
    // parameter is bound over a buffer of its own, whatever its value.
    void Bind(THstmt& stmt, bool byName);
    // Takes the values of the output parameters back from their buffers (NULL when the
    // driver says so).
    void ReadOutputs(const THstmt& stmt);
    // Drops the bind records and descriptions (after the cursor is closed); the
    // parameters and their values stay.
    void FreeBindBuffers();

private:
    TOEParamRec& RecordFor(const TParam& p);
    void Fill(TOEParamRec& rec, const TParam& p) const;
    void BindOne(THstmt& stmt, SQLUSMALLINT number, const TParam* p);

    std::vector<TOEDefRec> defs_;
    std::vector<std::unique_ptr<TOEParamRec>> recs_;
    // Statement parameter number -> the parameter bound there (nullptr: NULL).
    std::vector<TParam*> boundAt_;
};

} // namespace zen
