// What the commands say about the files they write: an output refused before any work (it
// exists, or is a folder), and where the previous version of a saved ontology was kept.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "data_module.h"
#include "ontology.h"

namespace velmora::cli {

// True, with the reason on err, when OUT must not be written: a folder or another non-file in
// its place, or an existing file without force. forceNote is added to the "use --force" hint.
bool RefuseOutput(const std::string& path, bool force, std::ostream& err,
                  std::string_view forceNote = {});

// After a save: " (previous version kept as BACKUP)" when the save replaced a file and kept its
// backup; "" otherwise, with a warning on err when the backup could not be made.
std::string BackupNote(const store::TDataModule1& store, const store::TOntology& ontology,
                       std::ostream& err);

}  // namespace velmora::cli
