// TW_ContourArray: the ordered contour set of a report job. It owns its contours
// by value (copies of 1692 bytes); the order is the order of processing and of
// storing. It is kept in the host's configuration tree or in a ".ws" settings
// file.
#pragma once

#include <cstdint>

#include "common/basearray.h"
#include "tw_contour.h"

class HConfigItem;

class TW_ContourArray : public MyRefArray<TW_Contour> {
  public:
    TW_ContourArray() : MyRefArray<TW_Contour>(10, 10, nullptr) {}

    // The number of contours whose Used byte is nonzero.
    int32_t CfgCount() const;

    // Writes "Count" and one child "Item%d" per contour into `node`. Raises
    // host::Exception ("Assert: [it] in s_Reports/Tripwatch/File/i_TWFile:<line>")
    // when the node yields no child; what was written before stays.
    void Save(HConfigItem* node) const;
    // Replaces the set by the contours stored under `node`, every value checked
    // (data/configcheck.h). False, with the first problem in the last error, when
    // a value has another type or is out of range (it takes its default) or when
    // an item below "Count" is missing (the set ends before it).
    bool Load(HConfigItem* node);

    // Writes the set as a ".ws" settings file (one section "Item%d" per contour),
    // the whole file anew and atomically. False (last error set) on failure.
    bool Save(const char* path) const;
    // Replaces the set by the sections Item0, Item1, ... of a ".ws" file up to the
    // first missing one; a missing file gives an empty set. False (last error set)
    // on failure; contours read before stay.
    bool Load(const char* path);
};
