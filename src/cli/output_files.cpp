#include "output_files.h"

#include <filesystem>

namespace velmora::cli {
namespace {
constexpr std::string_view kProgram = "velmora-cli";
}  // namespace

bool RefuseOutput(const std::string& path, bool force, std::ostream& err,
                  std::string_view forceNote) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        err << kProgram << ": '" << path << "' is a folder; name a file to write\n";
        return true;
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        err << kProgram << ": '" << path << "' is not a regular file (a pipe or a device)\n";
        return true;
    }
    if (!force && std::filesystem::exists(status)) {
        err << kProgram << ": '" << path << "' already exists; use --force to replace it"
            << forceNote << '\n';
        return true;
    }
    return false;
}

std::string BackupNote(const store::TDataModule1& store, const store::TOntology& ontology,
                       std::ostream& err) {
    if (!store.LastBackupProblem().empty()) {
        err << kProgram << ": warning: saved, but no backup of the previous version was kept ("
            << store.LastBackupProblem() << ")\n";
        return {};
    }
    return " (previous version kept as " + ontology.BackupFileName() + ")";
}

}  // namespace velmora::cli
