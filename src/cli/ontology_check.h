// The `check` command of velmora-cli: reads the five tables of a loaded ontology and reports,
// without changing anything, every record that breaks the rules the program relies on (errors)
// and every state the program tolerates but that looks wrong or that the save-time checks would
// question (warnings).
//
// Errors: a concept number below 1 or used twice; a PARENT_NO that names no concept; a
// PARENT_NO cycle; no top concept (PARENT_NO 0) or more than one; a mirror image whose
// RECORD_NO_FROM, RECORD_NO_TO or LINK_CODE names nothing; subconcept mirror images (link
// code 1) that close a cycle together with PARENT_NO; an association whose CONCEPT_NO or
// TERM_NO names nothing; a mirror image, label, association or link code number used twice.
// Warnings: a subconcept mirror image at its concept's own place; identical mirror images; a
// mirror image of another relation shown under its own concept; two associations of the same
// concept and label; two labels of the same text; a label no association uses; two placed items of
// one level with the same LIST_ORDER (10000 and 0 mean "not placed yet" and are never compared); a
// stored record counter at or below a record number of its table (raised when the file was read).
//
// Every table is read once into flat arrays and every rule is a sort, a binary search or one
// linear walk; the cycle searches colour each concept once, iteratively. So a million concepts
// take well under a second beyond loading the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data_module.h"
#include "terminal_text.h"

namespace velmora::cli {

enum class TSeverity { Error, Warning };

struct TFinding {
    TSeverity Severity = TSeverity::Error;
    std::string Kind;  // a stable tag such as "missing-parent", for scripts and tests
    std::string Text;  // UTF-8, one line
};

struct TCheckResult {
    std::vector<TFinding> Findings;
    int Errors = 0;
    int Warnings = 0;
    int Concepts = 0;
    int MirrorImages = 0;
    int Labels = 0;
    int Associations = 0;
    int LinkTypes = 0;
};

TCheckResult CheckOntology(store::TDataModule1& store, TTerminalText& text);

// "error[missing-parent]: concept 5 ...".
std::string FormatFinding(const TFinding& finding);
// The closing line: the counts of errors and warnings and of what was read.
std::string FormatSummary(const TCheckResult& result);

}  // namespace velmora::cli
