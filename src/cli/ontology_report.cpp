#include "ontology_report.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "ontology_properties.h"
#include "ontology_tables.h"

namespace velmora::cli {

using store::TCursor;
using store::TDateTime;

namespace {

std::string TwoDigits(int n) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return buffer;
}

// Keys wider than this are written as they are and do not widen the key column, so that one
// huge key cannot pad every other entry.
constexpr std::size_t kMaxKeyColumn = 24;
// The further lines of a value go below the value column while the indentation written so far
// stays within the metadata's own size; beyond that they get this short indent. The report of a
// hostile file (thousands of empty continuation lines) thus stays a small multiple of its size.
constexpr std::string_view kShortIndent = "    ";

// Writes the metadata entries as "key = value" lines.
class TMetadataWriter {
public:
    TMetadataWriter(const store::TOntology& ontology, TTerminalText& text, std::ostream& out)
        : m_text(text), m_out(out) {
        for (const std::string& line : ontology.Lines()) {
            m_budget += line.size() + 2;
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos && equals <= kMaxKeyColumn * 2) {
                const std::size_t width = DisplayWidth(text.ToTerminal(line.substr(0, equals)));
                if (width <= kMaxKeyColumn) {
                    m_keyWidth = std::max(m_keyWidth, width);
                }
            }
        }
    }

    void Write(const std::string& line) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            m_out << "  " << OneLine(m_text.ToTerminal(line)) << '\n';
            return;
        }
        const std::string key = m_text.ToTerminal(line.substr(0, equals));
        const std::string value = ToUnixLineBreaks(m_text.ToTerminal(line.substr(equals + 1)));
        const std::string aligned(2 + m_keyWidth + 3, ' ');
        m_out << "  " << PadRight(key, m_keyWidth) << " = ";
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = value.find('\n', start);
            m_out << OneLine(value.substr(start, end == std::string::npos ? end : end - start))
                  << '\n';
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
            if (m_budget >= aligned.size()) {
                m_budget -= aligned.size();
                m_out << aligned;
            } else {
                m_out << kShortIndent;
            }
        }
    }

private:
    TTerminalText& m_text;
    std::ostream& m_out;
    std::size_t m_keyWidth = 0;
    std::size_t m_budget = 0;
};

}  // namespace

std::string DateTimeText(TDateTime moment) {
    const store::TCivilTime c = moment.ToCivil();
    return std::to_string(c.Year) + "/" + TwoDigits(c.Month) + "/" + TwoDigits(c.Day) + " " +
           TimeOfDayText(moment);
}

std::vector<std::string> InformationLines(store::TDataModule1& store,
                                          const store::TOntology& ontology, TTerminalText& text) {
    // The properties dialog's own lines, for the terminal: each on one line, in UTF-8.
    // The time is digits only: the same text in code page 932.
    std::vector<std::string> lines = store::OntologyInformationLines(
        store, ontology, [](TDateTime moment) { return DateTimeText(moment); });
    for (std::string& line : lines) {
        line = OneLine(text.ToTerminal(line));
    }
    return lines;
}

void WriteMetadata(const store::TOntology& ontology, TTerminalText& text, std::ostream& out) {
    TMetadataWriter metadata(ontology, text, out);
    for (const std::string& line : ontology.Lines()) {
        metadata.Write(line);
    }
}

void WriteInfo(store::TDataModule1& store, const store::TOntology& ontology, TTerminalText& text,
               std::ostream& out) {
    out << "ファイル: " << ontology.FileName() << "\n\n";

    out << "メタデータ:\n";
    if (ontology.Count() == 0) {
        out << "  (なし)\n";
    }
    WriteMetadata(ontology, text, out);

    out << "\n情報:\n";
    for (const std::string& line : InformationLines(store, ontology, text)) {
        out << line << '\n';
    }

    out << "\n関係の定義:\n";
    TCursor linkTypes;
    linkTypes.CloneCursor(store.DtStOriginalLinkType, true);
    const store::TField code = linkTypes.FieldByName(store::kFieldLinkCode);
    const store::TField title = linkTypes.FieldByName(store::kFieldLinkTitle);
    const store::TField comment = linkTypes.FieldByName(store::kFieldComment);
    std::vector<std::string> titles;
    std::size_t titleWidth = 0;
    for (linkTypes.First(); !linkTypes.Eof(); linkTypes.Next()) {
        titles.push_back(OneLine(text.ToTerminal(title.AsString())));
        titleWidth = std::max(titleWidth, DisplayWidth(titles.back()));
    }
    std::size_t row = 0;
    for (linkTypes.First(); !linkTypes.Eof(); linkTypes.Next(), ++row) {
        const std::string number = std::to_string(code.AsInteger());
        out << std::string(number.size() < 4 ? 4 - number.size() : 0, ' ') << number << "  "
            << PadRight(titles[row], titleWidth) << "  "
            << OneLine(text.ToTerminal(comment.AsString())) << '\n';
    }
    if (row == 0) {
        out << "  (なし)\n";
    }

    out << "\nテーブル:\n";
    std::size_t nameWidth = 0;
    for (store::TTable* table : store.Tables()) {
        nameWidth = std::max(nameWidth, table->TableName().size());
    }
    for (store::TTable* table : store.Tables()) {
        out << "  " << PadRight(table->TableName(), nameWidth) << "  " << table->RecordCount()
            << '\n';
    }
    text.ReportUnreadable();
}

}  // namespace velmora::cli
