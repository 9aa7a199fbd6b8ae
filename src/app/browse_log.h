// TBrowseLog: the back/forward history of the concepts the user has looked at. Its current entry
// is the program's current concept. It knows nothing of the store or the views and talks to its
// owner through three callbacks; entries whose records were deleted meanwhile are dropped when
// Back or Forward steps over them. Plain C++ (no Qt), so it is tested alone.
#pragma once

#include <functional>

#include "concept_data.h"

namespace velmora::app {

class TBrowseLog {
public:
    static constexpr int kMaxEntries = 200;

    // Told after every change of the list or the position.
    std::function<void(bool backEnabled, bool forwardEnabled)> OnStateChange;
    // Asked to show an entry reached by Back or Forward.
    std::function<void(const store::TConceptData& entry)> OnNavigate;
    // Asked whether an entry's record still exists.
    std::function<bool(const store::TConceptData& entry)> OnIsValid;

    // The current entry, or nullptr when the list is empty; valid until the next change.
    const store::TConceptData* Current() const;
    int Count() const { return m_entries.Count(); }
    int Position() const { return m_position; }
    const store::TConceptData& Items(int index) const { return m_entries.Items(index); }

    // Drops everything after the current entry and appends a copy of entry as the new current.
    void Add(const store::TConceptData& entry);
    void Back();
    void Forward();
    void Clear();

private:
    bool IsGood(int index) const;
    void ReportState();

    store::TConceptList m_entries;  // oldest first
    int m_position = 0;
};

}  // namespace velmora::app
