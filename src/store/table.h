// The table engine: in-memory tables of records and the cursors that read and change them.
//
// A TTable owns a set of records with an ordered list of field definitions; it is also a cursor
// on itself. Further cursors share a table's records through CloneCursor: every change made
// through any of them is seen at once by all. Each cursor has its own current record, its own
// order (IndexFieldNames; empty means order of addition), an optional filter of the form
// "FIELD = n" and an optional master link (the detail shows only the records whose leading index
// fields equal the master's named fields in the master's current record).
//
// Every cursor view is an equality range of a shared ordered index (row_index.h) keyed by the
// constrained fields, then the order fields, then the order of addition; so ordered walks,
// filters, master links and lookups reach their records through index ranges, never by scanning.
// Indexes are made on first use and kept up to date by every change.
//
// Every posted change and deletion goes into the table's change log; SavePoint reads a position
// in it, SetSavePoint rolls the table back to a position (newest change first) and
// MergeChangeLog accepts all changes.
//
// Values: a null reads as 0, "" or the zero moment. Text of a text(n) field is cut to n bytes
// and loses trailing 0x20 bytes when it is written; an empty memo is null. Text is kept as the
// bytes it was given (code page 932 in this program).
//
// Single-threaded. A cursor must not outlive the table it was cloned from being closed or
// reloaded; such use raises ETableError instead of touching freed memory.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "date_time.h"
#include "errors.h"

namespace velmora::store {

enum class TFieldKind : std::uint8_t { AutoInc, Integer, Text, Memo, DateTime };

struct TFieldDef {
    std::string Name;
    TFieldKind Kind = TFieldKind::Integer;
    // Width in bytes for Text; the declared (non-limiting) size for Memo; 0 otherwise.
    int Size = 0;
    // A file may lack the field (it is never read or written); otherwise loading requires it.
    // A rule for loading, not part of what the field is: equality leaves it out.
    bool OptionalInFiles = false;

    friend bool operator==(const TFieldDef& a, const TFieldDef& b) {
        return a.Name == b.Name && a.Kind == b.Kind && a.Size == b.Size;
    }
};

// The name of a field kind in messages: "AutoInc", "Integer", "String", "Memo", "DateTime".
const char* FieldKindName(TFieldKind kind);

// One field value: null, an integer, a text or a moment.
using TValue = std::variant<std::monostate, std::int32_t, std::string, TDateTime>;

// One field value of a record being loaded, read without copying: null, or a number (the
// integer, or the milliseconds of a moment), or a text viewing the loader's bytes.
struct TLoadedValue {
    bool Null = true;
    std::int64_t Number = 0;
    std::string_view Text;
};

enum class TDataSetState : std::uint8_t { Inactive, Browse, Edit, Insert };

class TCursor;
struct TTableData;

namespace detail {
// One field of a pending edit. Kept between records so that texts reuse their storage.
struct TEditValue {
    bool Null = true;
    std::int32_t Integer = 0;
    std::int64_t Milliseconds = 0;
    std::string Text;
};
}  // namespace detail

// A field of a cursor's current record (or of its pending edit). A light handle: valid as long
// as the cursor lives.
class TField {
public:
    TField(TCursor& cursor, int index) : m_cursor(&cursor), m_index(index) {}

    int Index() const { return m_index; }
    const TFieldDef& Def() const;
    bool IsNull() const;
    TValue Value() const;
    std::int32_t AsInteger() const;
    std::string AsString() const;
    TDateTime AsDateTime() const;

    // REQUIRES (all setters): the cursor is in Edit or Insert state; else ETableError.
    void SetValue(const TValue& value);
    void SetAsInteger(std::int32_t value) { SetValue(value); }
    void SetAsString(std::string_view value) { SetValue(std::string(value)); }
    void SetAsDateTime(TDateTime value) { SetValue(value); }
    void Clear() { SetValue(std::monostate{}); }

private:
    TCursor* m_cursor;
    int m_index;
};

class TCursor {
public:
    using THook = std::function<void(TCursor&)>;

    TCursor();
    virtual ~TCursor();
    TCursor(const TCursor&) = delete;
    TCursor& operator=(const TCursor&) = delete;

    bool Active() const;
    TDataSetState State() const { return Active() ? m_state : TDataSetState::Inactive; }
    const std::vector<TFieldDef>& FieldDefs() const;

    // Makes this cursor share Source's records, positioned on the first record. With reset it
    // starts with no index, filter or master link; without, with copies of Source's.
    void CloneCursor(TCursor& source, bool reset);

    // Navigation. Only records that pass the filter and the master link are visited.
    void First();
    void Last();
    void Next();   // at the last record: stays there and sets Eof
    void Prior();  // at the first record: stays there and sets Bof
    bool Eof();
    bool Bof();
    bool FindFirst();  // First; true when there is a record
    bool FindNext();   // Next; true when it moved to a further record
    int RecordCount();
    int RecNo();            // 1-based position of the current record; 0 when there is none
    void SetRecNo(int no);  // out of range: ETableError
    bool IsEmpty() { return RecordCount() == 0; }

    // Unknown name: ETableError "項目 'NAME' が見つかりません".
    TField FieldByName(std::string_view name);
    TField Fields(int index);
    int FindFieldIndex(std::string_view name) const;  // -1 when unknown

    // Changing.
    void Append();  // posts or cancels a pending edit first; all fields null
    void AppendRecord(std::span<const TValue> values);
    void AppendRecord(std::initializer_list<TValue> values) {
        AppendRecord(std::span<const TValue>(values.begin(), values.size()));
    }
    void Edit();  // no-op while already editing or appending; no current record: ETableError
    void Post();
    void Cancel();
    void Delete();  // moves to the next record, or the previous one at the end

    // Exact lookup from the first record in the cursor's order; false leaves the cursor where
    // it was. Fields are one name or several joined by ";", with one value each.
    bool Locate(std::string_view fields, std::span<const TValue> values);
    bool Locate(std::string_view fields, std::initializer_list<TValue> values) {
        return Locate(fields, std::span<const TValue>(values.begin(), values.size()));
    }
    bool Locate(std::string_view field, const TValue& value) {
        return Locate(field, std::span<const TValue>(&value, 1));
    }

    // Order: one to three non-text field names joined by ";", or empty for order of addition.
    // The current record stays current when it is still visible.
    void SetIndexFieldNames(std::string_view names);
    const std::string& IndexFieldNames() const { return m_indexFieldNames; }

    // Master link. The detail's leading index fields are matched, in order, to the named master
    // fields. The master must outlive the link or be destroyed first (destroying a master
    // removes the link). An empty field list removes the link.
    void SetMasterSource(TCursor* master);
    void SetMasterFields(std::string_view names);
    TCursor* MasterSource() const { return m_master; }
    const std::string& MasterFields() const { return m_masterFields; }

    // Filter of the form "FIELD = n"; effective while Filtered is on. A filter that is not of
    // that form raises ETableError when it is applied.
    void SetFilter(std::string_view filter);
    void SetFiltered(bool on);
    const std::string& Filter() const { return m_filter; }
    bool Filtered() const { return m_filtered; }

    // Notifications: before a record enters edit mode, before a record is posted (the handler
    // may still set fields) and after a record was posted.
    THook BeforeEdit;
    THook BeforePost;
    THook AfterPost;

    // Change log of the shared table. SavePoint finishes a pending edit (posts it when a field
    // was set, else cancels it) and returns the log position. SetSavePoint cancels a pending edit
    // and undoes every change logged after the position, newest first. MergeChangeLog finishes a
    // pending edit and empties the log; earlier positions become invalid.
    int SavePoint();
    void SetSavePoint(int position);
    void MergeChangeLog();
    int ChangeCount() const;

    // A number that changes whenever a record is added, changed or deleted through any cursor
    // of the table (undo included) and that no earlier contents of any table had, so equal
    // stamps mean equal records. Lets a reader keep a copy of the records and know when it is
    // stale. ChangeCount cannot do that: undo and merging the log bring old counts back.
    std::uint64_t ContentStamp() const;

protected:
    void Attach(std::shared_ptr<TTableData> data);
    void Detach();
    TTableData& Data() const;

    std::shared_ptr<TTableData> m_data;

private:
    friend class TField;
    struct TView;
    struct TLocatePlan;

    void Sync();
    void CheckActive() const;
    void CheckBrowseMode();
    void SetCurrentAt(std::size_t rank);
    void MoveToEdge(bool first);  // the first or last record of the view; none when empty
    void ClearCurrent();
    void RebuildView();
    void Revalidate();
    // Moves to the record that now stands where oldEntry stood (clamped to the view).
    void PositionAfterChange(const std::int64_t* oldEntry, std::size_t width);
    bool ViewRange(std::size_t& lo, std::size_t& hi);
    void ParseFilter();
    std::vector<int> ParseFieldList(std::string_view names) const;
    TValue ReadField(int index);
    void WriteField(int index, const TValue& value);
    void UnlinkMaster();
    void Touch() { ++m_moveSerial; }

    std::string m_indexFieldNames;
    std::vector<int> m_order;
    std::string m_filter;
    bool m_filtered = false;
    int m_filterField = -1;
    std::int32_t m_filterValue = 0;
    TCursor* m_master = nullptr;
    std::string m_masterFields;
    std::vector<int> m_masterFieldIndexes;
    std::vector<TCursor*> m_details;

    std::unique_ptr<TView> m_view;
    std::unique_ptr<TLocatePlan> m_locatePlan;  // the last lookup's index, reused while valid
    // The view's range of ranks, valid while the view and its index are unchanged.
    std::size_t m_rangeLo = 0;
    std::size_t m_rangeHi = 0;
    std::uint64_t m_rangeVersion = ~std::uint64_t{0};
    std::uint64_t m_rangeSerial = 0;

    // The current record: its slot and its entry in the view index (kept to find its place
    // again after other cursors changed the table).
    std::int64_t m_slot = -1;
    std::vector<std::int64_t> m_entry;
    std::size_t m_rank = 0;
    std::uint64_t m_rankVersion = 0;
    bool m_eof = true;
    bool m_bof = true;
    std::uint64_t m_moveSerial = 0;  // grows whenever the current record moves or is posted

    TDataSetState m_state = TDataSetState::Browse;
    std::int64_t m_editSlot = -1;  // the record a pending edit will replace
    std::vector<detail::TEditValue> m_buffer;
    bool m_bufferModified = false;
};

// One record as it is stored, read without copying. Valid only inside the visit that hands it
// out. REQUIRES (each accessor): field is a field of that kind; a null reads as 0, "" or the
// zero moment.
class TRecordView {
public:
    bool IsNull(int field) const;
    std::int32_t Integer(int field) const;
    std::string_view Text(int field) const;
    TDateTime DateTime(int field) const;

private:
    friend class TTable;
    TRecordView(const TTableData& data, const char* row) : m_data(&data), m_row(row) {}

    const TTableData* m_data;
    const char* m_row;
};

// A table: its field definitions and records, and a cursor on itself.
class TTable : public TCursor {
public:
    TTable(std::string name, std::vector<TFieldDef> fieldDefs, std::string indexFieldNames = "");

    const std::string& TableName() const { return m_name; }
    const std::vector<TFieldDef>& DeclaredFieldDefs() const { return m_declaredDefs; }

    // Empties the table with its declared field definitions and opens it: counter 1, empty log.
    void CreateDataSet();
    // Drops all records; the table and its clones are unusable until created or loaded again.
    void Close();

    // Takes over source's records, counter and change log; source ends closed. Clones of this
    // table's previous contents become unusable. Lets a reader fill a scratch table and swap
    // it in only when everything was read.
    void AdoptContents(TTable& source);

    // Building blocks for reading and writing a table packet. OpenEmpty opens the table with
    // the given field definitions; AppendLoadedRecord adds a record as it stands (no change
    // log entry, no number drawn from the counter); SetAutoIncValue sets the counter.
    void OpenEmpty(std::vector<TFieldDef> fieldDefs);
    void AppendLoadedRecord(std::span<const TValue> values);
    // The same for a packet reader: no value is copied on the way. REQUIRES: each value is of
    // its field's kind (a number for integer and date-time fields, a text for text and memo
    // fields); text is cut to the field's width and an empty memo becomes null, as on a write.
    void AppendLoadedRecord(std::span<const TLoadedValue> values);
    // The number of records (deleted ones not counted), whatever a cursor shows.
    std::size_t StoredRecordCount() const;
    std::int32_t AutoIncValue() const;
    void SetAutoIncValue(std::int32_t next);
    // The counter a packet held when it was at or below a record number of its own table and
    // was raised past the highest one (numbers are never handed out twice); nothing otherwise.
    std::optional<std::int32_t> AutoIncRaisedFrom() const;
    void NoteAutoIncRaisedFrom(std::int32_t stored);
    // Calls `visit` with the values of every record in order of addition.
    void ForEachRecord(const std::function<void(std::span<const TValue>)>& visit) const;
    // The same without copying a value: for readers that copy a whole table (the search).
    void ForEachRecordView(const std::function<void(const TRecordView&)>& visit) const;

    // Bytes held by records, indexes and the change log (for the benchmarks).
    std::size_t MemoryUsage() const;

private:
    std::string m_name;
    std::vector<TFieldDef> m_declaredDefs;
    std::string m_defaultIndex;
};

}  // namespace velmora::store
