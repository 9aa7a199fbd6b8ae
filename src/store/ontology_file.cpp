// The ontology file: a 40-byte magic text, a directory of six signed 64-bit little-endian
// lengths, then the metadata stream and the five table packets back to back (doc/file_format.md).

#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include "data_module.h"
#include "file_system.h"
#include "ontology.h"
#include "stream.h"
#include "table_packet.h"

namespace velmora::store {
namespace {

constexpr std::string_view kMagic = "#THIS IS QUILLON FILE FORMAT VER 1.00.  ";
static_assert(kMagic.size() == 40);
constexpr std::size_t kStreamCount = 6;  // the metadata and the five tables
constexpr std::size_t kDirectorySize = kStreamCount * 8;

constexpr const char* kWrongFormat = "ファイルが開けません. ファイルフォーマットが違うようです.";

std::string CannotOpen(const std::string& name) {
    return "ファイル " + name + " は開けません";
}
std::string CannotCreate(const std::string& name) {
    return "ファイル " + name + " を作成できません";
}

std::array<std::int64_t, kStreamCount> DecodeDirectory(const unsigned char* bytes) {
    std::array<std::int64_t, kStreamCount> lengths{};
    for (std::size_t i = 0; i < kStreamCount; ++i) {
        std::uint64_t v = 0;
        for (int b = 7; b >= 0; --b) {
            v = (v << 8) | bytes[i * 8 + static_cast<std::size_t>(b)];
        }
        lengths[i] = static_cast<std::int64_t>(v);
    }
    return lengths;
}

std::string EncodeDirectory(const std::array<std::int64_t, kStreamCount>& lengths) {
    std::string bytes(kDirectorySize, '\0');
    for (std::size_t i = 0; i < kStreamCount; ++i) {
        auto v = static_cast<std::uint64_t>(lengths[i]);
        for (std::size_t b = 0; b < 8; ++b, v >>= 8) {
            bytes[i * 8 + b] = static_cast<char>(v & 0xFF);
        }
    }
    return bytes;
}

// Appends to a file being written and counts the bytes; the packet writer needs no more.
class TReplacementStream final : public TStream {
public:
    explicit TReplacementStream(TFileReplacement& file) : m_file(file) {}

    std::size_t Read(void*, std::size_t) override { return 0; }
    void Write(const void* buffer, std::size_t n) override {
        m_file.Write(buffer, n);
        m_written += static_cast<std::int64_t>(n);
    }
    std::int64_t Position() const override { return m_written; }
    void Seek(std::int64_t) override { throw EStreamError(kStreamWriteError); }
    std::int64_t Size() const override { return m_written; }

private:
    TFileReplacement& m_file;
    std::int64_t m_written = 0;
};

// Reads the five packets that start at `packetsAt` into `loaded`. The concept table is about as
// large as the other four together, so it is read on a thread of its own while this one reads
// the rest. A fault is reported as reading in file order would meet it: the concepts' first.
void LoadPacketsSideBySide(TFile& file, std::int64_t packetsAt,
                           const std::array<std::int64_t, kStreamCount>& lengths,
                           std::array<std::unique_ptr<TTable>, 5>& loaded) {
    std::array<std::int64_t, 5> at{};
    at[0] = packetsAt;
    for (std::size_t t = 1; t < at.size(); ++t) {
        at[t] = at[t - 1] + lengths[t];
    }
    const auto load = [&](std::size_t t) {
        std::int64_t offset = at[t];
        LoadTableFromSource(*loaded[t], static_cast<std::size_t>(lengths[t + 1]),
                            [&file, &offset](char* buffer, std::size_t n) {
                                const std::size_t read = file.ReadAt(buffer, n, offset);
                                offset += static_cast<std::int64_t>(read);
                                return read;
                            });
    };
    std::exception_ptr conceptsFault;
    std::optional<std::thread> concepts;
    try {
        concepts.emplace([&] {
            try {
                load(0);
            } catch (...) {
                conceptsFault = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        load(0);  // no thread to be had: one after the other
    }
    std::exception_ptr restFault;
    try {
        for (std::size_t t = 1; t < loaded.size(); ++t) {
            load(t);
        }
    } catch (...) {
        restFault = std::current_exception();
    }
    if (concepts) {
        concepts->join();
    }
    if (conceptsFault) {
        std::rethrow_exception(conceptsFault);
    }
    if (restFault) {
        std::rethrow_exception(restFault);
    }
    // Where reading them one after the other would have left the file.
    file.Seek(at[4] + lengths[5]);
}

}  // namespace

void TDataModule1::LoadOntologyFile(TOntology& ontology) {
    const std::string name = ontology.FileName();
    std::unique_ptr<TFile> file;
    try {
        file = m_fileSystem->OpenRead(name);
    } catch (const EFileSystemError& e) {
        throw EVelmoraError(CannotOpen(name) + "\r\n" + e.what());
    }
    LoadOntologyImage(ontology, *file, file->Size());
    file->Close();
}

void TDataModule1::LoadOntologyImage(TOntology& ontology, TFile& file, std::int64_t remaining) {
    char magic[kMagic.size()];
    if (file.Read(magic, sizeof magic) != sizeof magic ||
        std::memcmp(magic, kMagic.data(), kMagic.size()) != 0) {
        throw EVelmoraError(kWrongFormat);
    }
    unsigned char directory[kDirectorySize];
    if (file.Read(directory, sizeof directory) != sizeof directory) {
        throw EStreamError(kStreamReadError);
    }
    remaining -= static_cast<std::int64_t>(kMagic.size() + kDirectorySize);
    const auto lengths = DecodeDirectory(directory);

    // Every stream is read and parsed before anything of the open ontology changes. A length
    // is checked against what the file still holds before any memory is taken for it. The
    // table packets are parsed as they are read, a few megabytes at a time, so loading never
    // holds the file or a whole packet in memory beside the records.
    for (std::size_t i = 0; i < kStreamCount; ++i) {
        if (lengths[i] < 0) {
            throw EStreamError(std::string(kStreamReadError) + "\r\n(" + std::to_string(i + 1) +
                               " 番目のストリームの長さが負です)");
        }
        if (lengths[i] > remaining) {
            throw EStreamError(kStreamReadError);
        }
        remaining -= lengths[i];
    }
    std::string metadataBytes(static_cast<std::size_t>(lengths[0]), '\0');
    if (file.Read(metadataBytes.data(), metadataBytes.size()) != metadataBytes.size()) {
        throw EStreamError(kStreamReadError);
    }
    std::array<std::unique_ptr<TTable>, 5> loaded;
    for (std::size_t t = 0; t < loaded.size(); ++t) {
        const TTable& target = *m_tables[t];
        loaded[t] = std::make_unique<TTable>(target.TableName(), target.DeclaredFieldDefs());
    }
    const std::int64_t packetsAt = file.Position();
    if (packetsAt < 0) {
        const TPacketSource readFile = [&file](char* buffer, std::size_t n) {
            return file.Read(buffer, n);
        };
        for (std::size_t t = 0; t < loaded.size(); ++t) {
            LoadTableFromSource(*loaded[t], static_cast<std::size_t>(lengths[t + 1]), readFile);
        }
    } else {
        LoadPacketsSideBySide(file, packetsAt, lengths, loaded);
    }

    for (std::size_t t = 0; t < loaded.size(); ++t) {
        m_tables[t]->AdoptContents(*loaded[t]);
    }
    TMemoryStream metadata(std::move(metadataBytes));
    ontology.LoadFromStream(metadata);
    try {
        AttachTables();
    } catch (...) {
        CloseTables();
        throw;
    }
}

bool TDataModule1::SaveOntologyFile(TOntology& ontology, bool overwrite) {
    const std::string name = ontology.FileName();
    m_lastBackupProblem.clear();
    if (name.empty()) {
        throw EVelmoraError("ERROR: ファイルセーブできません. ファイル名がありません.");
    }
    if (!overwrite && m_fileSystem->Exists(name) &&
        m_questioner->Ask(TMessageKind::Confirmation, TButtons::YesNoCancel,
                          "ファイルは既に存在します.上書きしますか?") != TAnswer::Yes) {
        return false;
    }
    WriteOntologyFile(ontology, name);
    return true;
}

void TDataModule1::WriteOntologyFile(TOntology& ontology, const std::string& name) {
    m_lastBackupProblem.clear();
    // A pending edit is finished first (posted when a field was set), as merging would.
    for (TTable* table : m_tables) {
        table->SavePoint();
    }
    std::optional<TFileReplacement> file;
    try {
        file.emplace(*m_fileSystem, name);
    } catch (const EFileSystemError& e) {
        throw EVelmoraError(CannotCreate(name) + "\r\n" + e.what());
    }
    try {
        WriteOntologyImage(ontology, *file, 0);
        file->Commit(ontology.BackupFileName());
    } catch (const EFileSystemError& e) {
        throw EVelmoraError(std::string(kStreamWriteError) + "\r\n" + e.what());
    }
    m_lastBackupProblem = file->BackupProblem();
    // Only now is the file safely in place: the changes count as saved.
    MergeChangeLogs();
    ontology.SetCanUndo(false);
    ontology.SetModified(false);
}

void TDataModule1::WriteOntologyImage(const TOntology& ontology, TFileReplacement& file,
                                      std::int64_t offset) {
    file.Write(kMagic);
    std::array<std::int64_t, kStreamCount> lengths{};
    file.Write(EncodeDirectory(lengths));
    TMemoryStream buffer;
    ontology.SaveToStream(buffer);
    lengths[0] = buffer.Size();
    file.Write(buffer.Bytes());
    // The packets go to the file as they are made, never whole into memory.
    TReplacementStream out(file);
    for (std::size_t t = 0; t < 5; ++t) {
        const std::int64_t start = out.Position();
        SaveTableToStream(*m_tables[t], out);
        lengths[t + 1] = out.Position() - start;
    }
    file.Seek(offset + static_cast<std::int64_t>(kMagic.size()));
    file.Write(EncodeDirectory(lengths));
}

}  // namespace velmora::store
