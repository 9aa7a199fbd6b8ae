#include "browse_log.h"

namespace velmora::app {

const store::TConceptData* TBrowseLog::Current() const {
    return m_entries.Count() == 0 ? nullptr : &m_entries.Items(m_position);
}

void TBrowseLog::Add(const store::TConceptData& entry) {
    if (m_entries.Count() >= kMaxEntries) {
        m_entries.Delete(0);
        // The position follows the entries down, so the current entry stays current and the
        // forward entries are dropped below as with any other visit (a current entry that was
        // the oldest goes with the drop; the new entry follows what came after it).
        if (m_position > 0) {
            --m_position;
        }
    }
    while (m_entries.Count() > m_position + 1) {
        m_entries.Delete(m_entries.Count() - 1);
    }
    m_entries.AddNew().Assign(entry);
    m_position = m_entries.Count() - 1;
    ReportState();
}

bool TBrowseLog::IsGood(int index) const {
    if (index < 0 || index >= m_entries.Count()) {
        return false;
    }
    const store::TConceptData& candidate = m_entries.Items(index);
    if (store::SameConceptData(candidate, m_entries.Items(m_position))) {
        return false;
    }
    return !OnIsValid || OnIsValid(candidate);
}

void TBrowseLog::Back() {
    if (m_entries.Count() > 0 && m_position > 0 && OnNavigate) {
        int n = m_position - 1;
        while (n >= 0 && !IsGood(n)) {
            m_entries.Delete(n);
            --m_position;
            --n;
        }
        if (n >= 0) {
            m_position = n;
            OnNavigate(m_entries.Items(n));
        }
    }
    ReportState();
}

void TBrowseLog::Forward() {
    if (m_entries.Count() > 0 && m_position < m_entries.Count() - 1 && OnNavigate) {
        const int i = m_position + 1;
        while (i < m_entries.Count() && !IsGood(i)) {
            m_entries.Delete(i);
        }
        if (i < m_entries.Count()) {
            m_position = i;
            OnNavigate(m_entries.Items(i));
        }
    }
    ReportState();
}

void TBrowseLog::Clear() {
    m_entries.Clear();
    m_position = 0;
    ReportState();
}

void TBrowseLog::ReportState() {
    if (OnStateChange) {
        const int count = m_entries.Count();
        OnStateChange(count > 0 && m_position > 0, count > 0 && m_position < count - 1);
    }
}

}  // namespace velmora::app
