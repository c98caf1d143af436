// Row images: a row's bound column values kept byte for byte, so that a write puts back
// exactly what was read for the key and for every column it does not change.
//
// Layout: per column, in column order, the indicator (SQLLEN), the number of value bytes
// (uint32_t) and the bytes. A column without an element (long, or not bound) is held
// with the indicator SQL_COLUMN_IGNORE and no bytes, and is never put back.

#include "odbc/Hstmt.h"

#include <algorithm>
#include <cstring>

namespace zen {

namespace {

struct TImageEntry {
    SQLLEN indicator = SQL_COLUMN_IGNORE;
    const unsigned char* bytes = nullptr;
    uint32_t length = 0;
};

// The entries of an image; empty when it is malformed or not of `columns` columns.
std::vector<TImageEntry> Entries(const THstmt::TRowImage& image, size_t columns) {
    std::vector<TImageEntry> out;
    size_t at = 0;
    while (at < image.size()) {
        TImageEntry e;
        if (at + sizeof e.indicator + sizeof e.length > image.size()) {
            return {};
        }
        std::memcpy(&e.indicator, image.data() + at, sizeof e.indicator);
        at += sizeof e.indicator;
        std::memcpy(&e.length, image.data() + at, sizeof e.length);
        at += sizeof e.length;
        if (at + e.length > image.size()) {
            return {};
        }
        e.bytes = image.data() + at;
        at += e.length;
        out.push_back(e);
    }
    return out.size() == columns ? out : std::vector<TImageEntry>{};
}

void Append(THstmt::TRowImage& image, SQLLEN indicator, const unsigned char* bytes,
            uint32_t length) {
    const auto* ind = reinterpret_cast<const unsigned char*>(&indicator);
    const auto* len = reinterpret_cast<const unsigned char*>(&length);
    image.insert(image.end(), ind, ind + sizeof indicator);
    image.insert(image.end(), len, len + sizeof length);
    if (length > 0) {
        image.insert(image.end(), bytes, bytes + length);
    }
}

} // namespace

THstmt::TRowImage THstmt::CaptureRow(SQLULEN row) const {
    TRowImage image;
    for (int col = 1; col <= NumCols(); ++col) {
        const unsigned char* e = nullptr;
        const TColumnBuffer* c = Element(col, row, e);
        if (!c || !e || c->isLong) {
            Append(image, SQL_COLUMN_IGNORE, nullptr, 0);
            continue;
        }
        const SQLLEN indicator = c->indicators[row - 1];
        Append(image, indicator, e, c->ValueBytes(indicator));
    }
    return image;
}

bool THstmt::RestoreRow(const TRowImage& image, SQLULEN row) {
    const std::vector<TImageEntry> entries = Entries(image, static_cast<size_t>(NumCols()));
    if (entries.empty()) {
        return false;
    }
    pendingWrite_.End();
    for (int col = 1; col <= NumCols(); ++col) {
        unsigned char* e = nullptr;
        TColumnBuffer* c = Element(col, row, e);
        if (!c) {
            return false;
        }
        const TImageEntry& entry = entries[static_cast<size_t>(col - 1)];
        if (!e || c->isLong || entry.indicator == SQL_COLUMN_IGNORE ||
            entry.length > static_cast<uint32_t>(c->elementSize)) {
            continue;
        }
        std::memset(e, 0, static_cast<size_t>(c->elementSize));
        std::memcpy(e, entry.bytes, entry.length);
        c->indicators[row - 1] = entry.indicator;
    }
    return true;
}

THstmt::TRowImage THstmt::CaptureWritten(const TRowImage& before, SQLULEN row) const {
    const std::vector<TImageEntry> old = Entries(before, static_cast<size_t>(NumCols()));
    TRowImage now = CaptureRow(row);
    if (old.empty()) {
        return now;
    }
    const std::vector<TImageEntry> written = Entries(now, static_cast<size_t>(NumCols()));
    TRowImage image;
    for (int col = 1; col <= NumCols(); ++col) {
        const auto i = static_cast<size_t>(col - 1);
        const TImageEntry& e =
            written[i].indicator == SQL_COLUMN_IGNORE || ColIgnored(col, row) ? old[i] : written[i];
        Append(image, e.indicator, e.bytes, e.length);
    }
    return image;
}

} // namespace zen
