// The `info` report of velmora-cli: an ontology's metadata, the statistics of the ontology
// properties dialog's information page (record counts, creator, creation time, last editor and
// last edit time), its link types and the record counts of the five tables.
//
// The report is UTF-8 text for the terminal; the tables are only read.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "data_module.h"
#include "date_time.h"
#include "ontology.h"
#include "terminal_text.h"

namespace velmora::cli {

// "2024/04/01 09:05:03" and "09:05:03".
std::string DateTimeText(store::TDateTime moment);
using store::TimeOfDayText;

// The lines of the information page as the properties dialog fills them, in UTF-8.
std::vector<std::string> InformationLines(store::TDataModule1& store,
                                          const store::TOntology& ontology, TTerminalText& text);

// The whole report. Multi-line metadata values continue on indented lines.
// The metadata entries as "key = value" lines, a multi-line value's further lines indented
// below it. The text written is at most ten times the size of the metadata (plus a little),
// whatever its keys and values look like.
void WriteMetadata(const store::TOntology& ontology, TTerminalText& text, std::ostream& out);

void WriteInfo(store::TDataModule1& store, const store::TOntology& ontology, TTerminalText& text,
               std::ostream& out);

}  // namespace velmora::cli
