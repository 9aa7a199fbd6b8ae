// The small value types that carry concepts and mirror images between the store, the hierarchy
// engine, the views, the browse history, the clipboard and the undo stack.
//
// TConceptData is one concept or one mirror image as it is shown at one place of the hierarchy.
// TConceptList owns the items it holds; TNumberList is a sorted set of record numbers;
// TSavePoint is one undo step (its own copy of the current item plus the change-log position of
// each of the five tables). Text is code page 932 bytes. Plain values: no sharing, no locking;
// use from one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ontology_tables.h"

namespace velmora::store {

// An icon position in a workspace; (kNotPlaced, kNotPlaced) until the item is placed.
struct TIconPoint {
    std::int32_t X = kNotPlaced;
    std::int32_t Y = kNotPlaced;

    friend bool operator==(const TIconPoint&, const TIconPoint&) = default;
};

// A concept (IsLink false) or a mirror image (IsLink true) at one place of the hierarchy.
// For a mirror image ConceptNo is the concept it shows and LinkNo its network record; for a
// concept LinkNo and LinkCode are 0. A new item has all numbers 0, an empty title, both flags
// false and no icon position.
class TConceptData {
public:
    TConceptData() = default;
    TConceptData(const TConceptData&) = default;
    TConceptData& operator=(const TConceptData&) = default;
    virtual ~TConceptData() = default;

    // Copies the seven fields of source. Virtual so that a view's subclass can copy what it
    // adds as well.
    virtual void Assign(const TConceptData& source);

    std::int32_t LinkNo = 0;
    std::int32_t LinkCode = 0;

    const std::string& Title() const { return m_title; }
    bool HasChildren() const { return m_hasChildren; }
    std::int32_t ConceptNo() const { return m_conceptNo; }
    bool IsLink() const { return m_isLink; }

    void SetTitle(std::string title) { m_title = std::move(title); }
    void SetHasChildren(bool hasChildren) { m_hasChildren = hasChildren; }
    void SetConceptNo(std::int32_t conceptNo) { m_conceptNo = conceptNo; }
    void SetIsLink(bool isLink) { m_isLink = isLink; }

private:
    std::string m_title;
    bool m_hasChildren = false;
    std::int32_t m_conceptNo = 0;
    bool m_isLink = false;

public:
    TIconPoint IconPos;
};

// True when a and b denote the same item: both concepts with the same ConceptNo, or both mirror
// images with the same LinkNo. A concept and a mirror image of it are different items; titles,
// flags and positions are not compared.
bool SameConceptData(const TConceptData& a, const TConceptData& b);

// An ordered list that owns its items: Delete and Clear destroy them. A reference to an item
// stays valid until that item is deleted or the list is cleared or destroyed.
class TConceptList {
public:
    TConceptList() = default;
    TConceptList(const TConceptList&) = delete;
    TConceptList& operator=(const TConceptList&) = delete;
    TConceptList(TConceptList&&) noexcept = default;
    TConceptList& operator=(TConceptList&&) noexcept = default;
    ~TConceptList() = default;

    // Appends an empty item and returns it.
    TConceptData& AddNew();
    // Appends item, taking ownership; returns its index. REQUIRES: item is not null.
    int AddItem(std::unique_ptr<TConceptData> item);
    // Replaces the contents with independent copies of source's items, in order.
    void Assign(const TConceptList& source);

    int Count() const { return static_cast<int>(m_items.size()); }
    // REQUIRES (Items, operator[], Delete): 0 <= index < Count().
    TConceptData& Items(int index);
    const TConceptData& Items(int index) const;
    TConceptData& operator[](int index) { return Items(index); }
    const TConceptData& operator[](int index) const { return Items(index); }

    void Delete(int index);
    void Clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TConceptData>> m_items;
};

// A set of record numbers in ascending order without duplicates.
class TNumberList {
public:
    // Inserts n unless present; returns the index at which n is kept.
    int Add(std::int32_t n);
    bool Contains(std::int32_t n) const;

    int Count() const { return static_cast<int>(m_items.size()); }
    // REQUIRES (Items, operator[], Delete): 0 <= index < Count().
    std::int32_t Items(int index) const;
    std::int32_t operator[](int index) const { return Items(index); }
    void Delete(int index);
    void Clear() { m_items.clear(); }

private:
    // Index of the first element not less than n (Count() when there is none).
    int Position(std::int32_t n) const;

    std::vector<std::int32_t> m_items;
};

// One undo step: the item the browse history showed, and the change-log position of each table
// when the step was taken. The positions are filled in by whoever takes the save point.
class TSavePoint {
public:
    explicit TSavePoint(const TConceptData& current) { CurrentItem.Assign(current); }

    TConceptData CurrentItem;
    std::int32_t ConceptsSavePoint = 0;
    std::int32_t LinkTypeSavePoint = 0;
    std::int32_t NetWorkSavePoint = 0;
    std::int32_t TermsSavePoint = 0;
    std::int32_t AssociationSavePoint = 0;
};

}  // namespace velmora::store
