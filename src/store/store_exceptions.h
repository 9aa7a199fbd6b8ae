// The store's own error kinds, besides the plain errors with fixed texts.
//
// EUnableToFind: a record that the caller named by number is not in its table; its message
// names the table kind and ends with the number. ETrimInvalidLinkError: a change to the
// hierarchy would close a reference loop; it may carry its own copy of the mirror image at which
// the loop was found, so that the caller can show it after rolling back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "concept_data.h"
#include "errors.h"

namespace velmora::store {

class EUnableToFind : public EVelmoraError {
public:
    static EUnableToFind CreateConcept(std::int32_t no) { return {"概念レコード", no}; }
    static EUnableToFind CreateLink(std::int32_t no) { return {"リンクレコード", no}; }
    static EUnableToFind CreateLinkType(std::int32_t no) { return {"リンクタイプレコード", no}; }

private:
    EUnableToFind(const char* tableKind, std::int32_t no)
        : EVelmoraError(
              std::string("データベースにレコードが見つかりません.\r\n   データベース：") +
              tableKind + "\r\n   レコード番号：" + std::to_string(no)) {}
};

class ETrimInvalidLinkError : public EVelmoraError {
public:
    static ETrimInvalidLinkError Create() { return ETrimInvalidLinkError(nullptr); }
    static ETrimInvalidLinkError CreateFor(const TConceptData& item) {
        return ETrimInvalidLinkError(&item);
    }

    // Copies carry their own copy of the item, so a caught copy outlives the thrown object.
    ETrimInvalidLinkError(const ETrimInvalidLinkError& other)
        : EVelmoraError(other), m_item(CopyOf(other.m_item.get())) {}
    ETrimInvalidLinkError& operator=(const ETrimInvalidLinkError& other) {
        if (&other != this) {
            EVelmoraError::operator=(other);
            m_item = CopyOf(other.m_item.get());
        }
        return *this;
    }
    ETrimInvalidLinkError(ETrimInvalidLinkError&&) noexcept = default;
    ETrimInvalidLinkError& operator=(ETrimInvalidLinkError&&) noexcept = default;
    ~ETrimInvalidLinkError() override = default;

    // The mirror image at which the loop was found; null when the error carries none. Valid as
    // long as this exception object lives.
    const TConceptData* Item() const { return m_item.get(); }

private:
    explicit ETrimInvalidLinkError(const TConceptData* item)
        : EVelmoraError("参照の循環が発生してしまうため操作は行われませんでした."),
          m_item(CopyOf(item)) {}

    static std::unique_ptr<TConceptData> CopyOf(const TConceptData* item) {
        if (item == nullptr) {
            return nullptr;
        }
        auto copy = std::make_unique<TConceptData>();
        copy->Assign(*item);
        return copy;
    }

    std::unique_ptr<TConceptData> m_item;
};

}  // namespace velmora::store
