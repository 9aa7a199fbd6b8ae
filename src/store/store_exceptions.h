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
        auto copy = std::make_shared<TConceptData>();
        copy->Assign(item);
        return ETrimInvalidLinkError(std::move(copy));
    }

    // The mirror image at which the loop was found; null when the error carries none. The copy
    // is shared by the copies of this exception (it never changes), so copying cannot throw.
    const TConceptData* Item() const { return m_item.get(); }

private:
    explicit ETrimInvalidLinkError(std::shared_ptr<const TConceptData> item)
        : EVelmoraError("参照の循環が発生してしまうため操作は行われませんでした."),
          m_item(std::move(item)) {}

    std::shared_ptr<const TConceptData> m_item;
};

}  // namespace velmora::store
