#include "concept_data.h"

#include <cassert>

namespace velmora::store {

void TConceptData::Assign(const TConceptData& source) {
    if (&source == this) {
        return;
    }
    LinkNo = source.LinkNo;
    LinkCode = source.LinkCode;
    m_title = source.m_title;
    m_hasChildren = source.m_hasChildren;
    m_conceptNo = source.m_conceptNo;
    m_isLink = source.m_isLink;
    IconPos = source.IconPos;
}

bool SameConceptData(const TConceptData& a, const TConceptData& b) {
    if (a.IsLink() != b.IsLink()) {
        return false;
    }
    return a.IsLink() ? a.LinkNo == b.LinkNo : a.ConceptNo() == b.ConceptNo();
}

TConceptData& TConceptList::AddNew() {
    m_items.push_back(std::make_unique<TConceptData>());
    return *m_items.back();
}

int TConceptList::AddItem(std::unique_ptr<TConceptData> item) {
    assert(item != nullptr);
    m_items.push_back(std::move(item));
    return Count() - 1;
}

void TConceptList::Assign(const TConceptList& source) {
    // Clearing first would destroy the source when it is this list.
    if (&source == this) {
        return;
    }
    Clear();
    m_items.reserve(source.m_items.size());
    for (const auto& item : source.m_items) {
        AddNew().Assign(*item);
    }
}

TConceptData& TConceptList::Items(int index) {
    assert(index >= 0 && index < Count());
    return *m_items[static_cast<std::size_t>(index)];
}

const TConceptData& TConceptList::Items(int index) const {
    assert(index >= 0 && index < Count());
    return *m_items[static_cast<std::size_t>(index)];
}

void TConceptList::Delete(int index) {
    assert(index >= 0 && index < Count());
    m_items.erase(m_items.begin() + index);
}

int TNumberList::Position(std::int32_t n) const {
    const int count = Count();
    if (count == 0 || m_items.front() >= n) {
        return 0;
    }
    if (m_items.back() < n) {
        return count;
    }
    // Here m_items[low] < n <= m_items[high].
    int low = 0;
    int high = count - 1;
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        if (m_items[static_cast<std::size_t>(middle)] < n) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return high;
}

int TNumberList::Add(std::int32_t n) {
    const int position = Position(n);
    if (position == Count() || m_items[static_cast<std::size_t>(position)] != n) {
        m_items.insert(m_items.begin() + position, n);
    }
    return position;
}

bool TNumberList::Contains(std::int32_t n) const {
    const int position = Position(n);
    return position < Count() && m_items[static_cast<std::size_t>(position)] == n;
}

std::int32_t TNumberList::Items(int index) const {
    assert(index >= 0 && index < Count());
    return m_items[static_cast<std::size_t>(index)];
}

void TNumberList::Delete(int index) {
    assert(index >= 0 && index < Count());
    m_items.erase(m_items.begin() + index);
}

}  // namespace velmora::store
