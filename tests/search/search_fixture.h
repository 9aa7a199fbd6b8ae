// A store with a few concepts, labels and dates built in code, for the search tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "code_page.h"
#include "data_module.h"
#include "ontology_tables.h"

namespace velmora::search::testing {

inline std::string Sjis(std::string_view utf8) {
    return store::Utf8ToCp932(utf8);
}

inline store::TDateTime Moment(int day, int hour, int minute = 0, int second = 0) {
    return store::TDateTime::FromCivil({2024, 4, day, hour, minute, second, 0});
}

struct TConceptSpec {
    TConceptSpec(std::string title, std::string description = {}, std::string comment = {},
                 std::string editor = {}, store::TDateTime created = Moment(1, 9),
                 store::TDateTime edited = Moment(1, 9))
        : Title(std::move(title)),
          Description(std::move(description)),
          Comment(std::move(comment)),
          Editor(std::move(editor)),
          Created(created),
          Edited(edited) {}

    std::string Title;  // all texts code page 932
    std::string Description;
    std::string Comment;
    std::string Editor;
    store::TDateTime Created;
    store::TDateTime Edited;
};

class TSearchStore {
public:
    TSearchStore() : Store(m_context) { Store.CreateTables(); }

    // Appends a concept record as it stands; returns its number.
    std::int32_t AddConcept(const TConceptSpec& fields) {
        store::TTable& c = Store.DtStOriginalConcepts;
        c.Append();
        c.FieldByName(store::kFieldTitle).SetAsString(fields.Title);
        c.FieldByName(store::kFieldDescription).SetAsString(fields.Description);
        c.FieldByName(store::kFieldComment).SetAsString(fields.Comment);
        c.FieldByName(store::kFieldEditor).SetAsString(fields.Editor);
        c.FieldByName(store::kFieldParentNo).SetAsInteger(0);
        c.FieldByName(store::kFieldDateCreation).SetAsDateTime(fields.Created);
        c.FieldByName(store::kFieldDateEdition).SetAsDateTime(fields.Edited);
        c.Post();
        Store.StampIdentifier();
        return c.FieldByName(store::kFieldRecordNo).AsInteger();
    }
    std::int32_t AddTitled(std::string_view utf8Title) {
        return AddConcept(TConceptSpec(Sjis(utf8Title)));
    }
    void AddLabel(std::int32_t conceptNo, std::string_view utf8) {
        Store.AddLabelToConcept(conceptNo, Sjis(utf8));
    }
    // A label that no concept carries.
    void AddLooseLabel(std::string_view utf8) { Store.FindOrAddLabel(Sjis(utf8)); }
    void DeleteConcept(std::int32_t no) { Store.DeleteConceptRecord(no); }
    void SetTitle(std::int32_t no, std::string_view utf8) {
        store::TTable& c = Store.DtStOriginalConcepts;
        c.Locate(store::kFieldRecordNo, store::TValue(no));
        c.Edit();
        c.FieldByName(store::kFieldTitle).SetAsString(Sjis(utf8));
        c.Post();
    }

private:
    store::TSimpleStoreContext m_context;

public:
    store::TDataModule1 Store;
};

}  // namespace velmora::search::testing
