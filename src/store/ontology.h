// TOntology: the open ontology as a document. It holds the descriptive metadata as an ordered
// list of "key=value" lines (the first stream of an .ont file), the file name the ontology was
// opened from or will be saved to, the undo stack of save points, and the two flags that together
// say whether there are unsaved changes (CanUndo: the tables changed; Modified: the metadata
// changed or the ontology was never saved).
//
// The list is unsorted and may hold duplicates; key lookup ignores ASCII letter case and the
// value is everything after the first "=". Lines without "=" are kept and written back
// unchanged. A value may span several lines; in memory one entry holds it whole, with CR LF
// between its lines, and the stream carries the further lines as TAB-led continuation lines
// (doc/metadata_format.md). Metadata text is code page 932 bytes and is never converted here.
//
// The ontology owns its save points. Callbacks are plain fields; they run synchronously inside
// the call that fires them. Trap: the destructor fires OnStateChange, so whatever that handler
// touches must outlive the ontology, or the handler must be cleared first. Single-threaded, like
// the rest of the store.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "concept_data.h"
#include "stream.h"

namespace velmora::store {

class TOntology {
public:
    static constexpr std::string_view kTitleKey = "Title";
    static constexpr std::string_view kTargetKey = "Target";
    static constexpr std::string_view kCommunityKey = "Community";
    static constexpr std::string_view kDescriptionKey = "Description";
    static constexpr std::string_view kCreatorKey = "Creator";
    static constexpr std::string_view kCreatedDayKey = "CreatedDay";
    static constexpr std::string_view kConceptDescrDefaultKey = "ConceptDescrDefault";
    static constexpr std::string_view kConceptCommentDefaultKey = "ConceptCommentDefault";

    // Undo reaches at most this many steps back; older save points are dropped.
    static constexpr std::size_t kMaxSavePoints = 200;

    // UTF-8, because it becomes part of a file-system path, not of the metadata text.
    static constexpr std::string_view kBackupPrefix = "バックアップ-";

    // An empty list, no file name, both flags false, no save points.
    TOntology() = default;
    // Calls SetCanUndo(false), so OnStateChange fires one last time. An exception thrown by
    // that callback is swallowed: it cannot leave a destructor.
    ~TOntology();

    // The undo stack and the callbacks belong to this one document.
    TOntology(const TOntology&) = delete;
    TOntology& operator=(const TOntology&) = delete;

    // Fired after CanUndo or Modified was set (also when the value did not change), with the
    // new values.
    std::function<void(bool canUndo, bool modified)> OnStateChange;
    // Fired after Title was set and after the list was loaded.
    std::function<void(TOntology& sender)> OnTitleChange;

    // --- Metadata lines

    // The entries in order. An entry is one line of the stream, except that a multi-line value
    // makes its key's entry hold CR LF breaks. The reference is valid until the next change.
    const std::vector<std::string>& Lines() const { return m_lines; }
    std::size_t Count() const { return m_lines.size(); }
    // REQUIRES: index < Count().
    const std::string& Line(std::size_t index) const;

    // The value of the first line whose key equals key (ASCII letters compared without case;
    // double-byte characters byte for byte), or "" when there is none. Multi-line values come
    // back with CR LF between their lines.
    std::string Value(std::string_view key) const;
    // Empty value: removes every line with that key. Otherwise the first line with that key is
    // replaced by key + "=" + value (key spelt as given), or key + "=" + value is appended as a
    // new last line. Any CR LF, lone CR or lone LF in value becomes CR LF.
    // REQUIRES: key holds no "=", CR, LF or zero byte and does not begin with TAB; value holds
    // no zero byte (a zero byte ends the text when the stream is read back).
    void SetValue(std::string_view key, std::string value);

    std::string Title() const { return Value(kTitleKey); }
    std::string Target() const { return Value(kTargetKey); }
    std::string Community() const { return Value(kCommunityKey); }
    std::string Description() const { return Value(kDescriptionKey); }
    std::string Creator() const { return Value(kCreatorKey); }
    std::string CreatedDay() const { return Value(kCreatedDayKey); }
    std::string ConceptDescrDefault() const { return Value(kConceptDescrDefaultKey); }
    std::string ConceptCommentDefault() const { return Value(kConceptCommentDefaultKey); }

    // Sets the value, then fires OnTitleChange.
    void SetTitle(std::string value);
    void SetTarget(std::string value) { SetValue(kTargetKey, std::move(value)); }
    void SetCommunity(std::string value) { SetValue(kCommunityKey, std::move(value)); }
    void SetDescription(std::string value) { SetValue(kDescriptionKey, std::move(value)); }
    void SetCreator(std::string value) { SetValue(kCreatorKey, std::move(value)); }
    void SetCreatedDay(std::string value) { SetValue(kCreatedDayKey, std::move(value)); }
    void SetConceptDescrDefault(std::string value) {
        SetValue(kConceptDescrDefaultKey, std::move(value));
    }
    void SetConceptCommentDefault(std::string value) {
        SetValue(kConceptCommentDefaultKey, std::move(value));
    }

    // Writes every line followed by CR LF at the stream's position, and nothing else; an empty
    // list writes no bytes. A multi-line value is written as its key line plus one continuation
    // line per further line, each beginning with TAB. EStreamError when the write fails.
    void SaveToStream(TStream& stream) const;
    // Replaces all lines by the text from the stream's position to its end: a line ends at
    // CR LF, a lone CR or a lone LF; a zero byte ends the text; a break at the very end adds no
    // empty line. A line that begins with TAB and follows a line with "=" continues that line's
    // value (one TAB removed, CR LF in between). Then fires OnTitleChange. The lines are left
    // unchanged when reading the stream throws.
    void LoadFromStream(TStream& stream);

    // --- File name

    // A file-system path (UTF-8 bytes on Linux), not metadata text; "" for a new ontology that
    // was never saved. Not stored in the file.
    const std::string& FileName() const { return m_fileName; }
    void SetFileName(std::string fileName) { m_fileName = std::move(fileName); }
    // The directory part of FileName with its trailing "/", then kBackupPrefix, then the name
    // part: "/a/b/abc.ont" gives "/a/b/バックアップ-abc.ont". Only "/" separates directories.
    std::string BackupFileName() const;

    // --- Flags and undo stack

    bool CanUndo() const { return m_canUndo; }
    bool Modified() const { return m_modified; }
    // False first destroys every save point. Then fires OnStateChange.
    void SetCanUndo(bool value);
    // Fires OnStateChange.
    void SetModified(bool value);

    // Takes ownership of point as the newest entry and calls SetCanUndo(true); then, when the
    // stack holds more than kMaxSavePoints entries, destroys the oldest.
    // REQUIRES: point is not null.
    void PushSavePoint(std::unique_ptr<TSavePoint> point);
    // Removes and returns the newest save point, or null (and no event) when there is none.
    // Calls SetCanUndo(false) when the stack has become empty.
    std::unique_ptr<TSavePoint> PopSavePoint();
    std::size_t SavePointCount() const { return m_savePoints.size(); }

private:
    void FireStateChange();

    std::vector<std::string> m_lines;
    std::string m_fileName;
    std::deque<std::unique_ptr<TSavePoint>> m_savePoints;  // oldest first
    bool m_canUndo = false;
    bool m_modified = false;
};

}  // namespace velmora::store
