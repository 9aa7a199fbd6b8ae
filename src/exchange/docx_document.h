// TDocumentBuilder: writes a word-processing document front to back, as the Word export walks
// the ontology. Paragraphs, runs, bookmarks, fields and sections are appended as XML text to
// the package's document part; nothing is kept as a tree, so a document of 100,000 concepts
// costs about its own size. Only the paragraph being written is held back, because a section
// break belongs into the properties of the section's last paragraph.
//
// Like a blank document in Word, the builder always has one open paragraph: text goes to its
// end, AddParagraph closes it and opens the next, and its properties may still change until
// then (the export sets an alignment after writing the text). Texts are code page 932, as in
// the tables; program texts may be given as UTF-8 through the *Utf8 calls.
//
// Fields are complex fields marked dirty, with a cached result, and the settings ask the word
// processor to update fields when it opens the file: page references and the table of
// contents come out right without the export laying out pages itself.
//
// Misuse (a bookmark named twice, ended twice or never) raises std::logic_error. One builder
// per document; single-threaded.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "docx_package.h"

namespace velmora::exchange::docx {

inline constexpr std::string_view kHeadFont = "ＭＳ ゴシック";
inline constexpr std::string_view kBodyFont = "ＭＳ 明朝";
inline constexpr int kDefaultHalfPoints = 21;  // 10.5 pt, the usual size of Japanese text
// Cached results shown until fields are updated. A table of contents needs a non-empty one:
// without it some word processors build no index at all.
inline constexpr std::string_view kPagePlaceholder = "?";
inline constexpr std::string_view kTocPlaceholder = "（目次は文書を開いたときに更新されます）";

enum class TAlignment { kDefault, kLeft, kRight, kCenter, kJustified };

// Character formatting; default values leave the property to the paragraph's style.
struct TRunProperties {
    std::string_view font;  // for Latin and East Asian text alike
    bool bold = false;
    int halfPoints = 0;
};

struct TParagraphProperties {
    int headingLevel = 0;  // 1-9: a heading the table of contents lists at that level
    bool keepWithNext = false;
    bool framed = false;  // a box round the paragraph; neighbours with a box share it
    double lineAtLeastPt = 0;
    double firstLineIndentPt = 0;
    TAlignment alignment = TAlignment::kDefault;
    TRunProperties mark;  // formatting of the paragraph mark (sets an empty line's height)
};

enum class TSectionStart { kNextPage, kContinuous };

struct TSectionProperties {
    TSectionStart start = TSectionStart::kNextPage;
    int columns = 1;
};

struct TCoreProperties {
    std::string title;        // code page 932
    std::string creator;      // code page 932
    std::time_t created = 0;  // 0: none
};

class TDocumentBuilder {
public:
    explicit TDocumentBuilder(const TSectionProperties& firstSection = {});
    TDocumentBuilder(const TDocumentBuilder&) = delete;
    TDocumentBuilder& operator=(const TDocumentBuilder&) = delete;

    // The open paragraph's properties; they are written when it is closed.
    TParagraphProperties& Paragraph() { return m_paragraph; }
    // Closes the open paragraph and opens a new one.
    void AddParagraph(const TParagraphProperties& properties = {});

    // Appends a run. Tabs become tab characters, line ends (CR LF, CR, LF) line breaks.
    void AddText(std::string_view cp932, const TRunProperties& run = {});
    void AddUtf8Text(std::string_view utf8, const TRunProperties& run = {});
    void AddPageBreak();

    // Starts a bookmark at the current end of the document and returns its id for EndBookmark;
    // it may end in a later paragraph. A name is 1-40 ASCII letters, digits or underscores,
    // starting with a letter (std::invalid_argument otherwise), used once per document.
    int StartBookmark(std::string_view name);
    void EndBookmark(int id);

    // A complex field in the open paragraph: instruction as the field code, cachedUtf8 as the
    // result shown until the field is updated.
    void AddField(std::string_view instruction, std::string_view cachedUtf8,
                  const TRunProperties& run = {});
    // The number of the page that holds the bookmark (PAGEREF, as a hyperlink to it).
    void AddPageReference(std::string_view bookmark, const TRunProperties& run = {},
                          std::string_view cachedUtf8 = kPagePlaceholder);
    // Closes the open paragraph, writes a table of contents of the level-1 headings with
    // hyperlinks and page numbers, and opens the paragraph after it.
    void AddTableOfContents(std::string_view cachedUtf8 = kTocPlaceholder);

    // Ends the current section at the open paragraph and starts the next one with a new open
    // paragraph. Headers and footers carry over to the next section until it sets its own.
    void AddSection(const TSectionProperties& next);
    // The current section's header: the text on every page.
    void SetHeaderText(std::string_view cp932, const TRunProperties& run = {});
    // The current section's footer: the page number.
    void SetPageNumberFooter(TAlignment alignment = TAlignment::kCenter,
                             const TRunProperties& run = {});

    void SetCoreProperties(const TCoreProperties& core);

    // Completes the document and gives up its package; the builder is spent afterwards.
    // REQUIRES: every bookmark started was ended (std::logic_error otherwise).
    TPackage Finish();
    // Finish, then write the package to path.
    void Save(const std::string& path, TCompression compression = TCompression::kDeflate,
              store::TFileSystem& fileSystem = store::RealFileSystem());

    // Size of the document part so far, in bytes: what the builder holds besides the open
    // paragraph.
    std::size_t DocumentSize() const { return m_body->Size(); }

private:
    void CloseParagraph(const TSectionProperties* endsSection);
    void AppendSectionProperties(std::string& out, const TSectionProperties& section);
    std::string AddHeaderFooterPart(bool header, std::string_view paragraphXml);
    void RequireOpen() const;

    TPackage m_package;
    TXmlBuffer* m_body;
    TParagraphProperties m_paragraph;
    std::string m_content;  // runs of the open paragraph
    TSectionProperties m_section;
    std::string m_headerId;  // relationships of the current section's own header and footer
    std::string m_footerId;
    int m_headers = 0;
    int m_footers = 0;
    std::unordered_set<std::string> m_bookmarkNames;
    std::vector<bool> m_bookmarkOpen;  // by id
    int m_openBookmarks = 0;
    std::optional<TCoreProperties> m_core;
    bool m_finished = false;
};

}  // namespace velmora::exchange::docx
